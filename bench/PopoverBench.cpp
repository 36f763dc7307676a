// The popover's costs on the offscreen platform: making each layout once, what the open popover does each
// second, and the time from the toggle request to the popover shown and painted.
//
// A week of fixture events at a fixed time; Kalvix's own symbols and light palette, so figures do not depend
// on the machine's theme.
#include "app/AppDelegate.h"
#include "app/PopoverWindow.h"
#include "countdowns/CountdownStore.h"
#include "popover/CompactView.h"
#include "popover/PopoverRoot.h"
#include "popover/StandardView.h"
#include "prefs/Prefs.h"
#include "statusitem/StatusItem.h"
#include "tests/support/TestContext.h"
#include "ui/ColorRoles.h"
#include "ui/Symbols.h"

#include <QApplication>
#include <QImage>
#include <QLayout>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>

using namespace kalvix;

namespace {

// Thursday 5 March 2026, 09:41 in London.
constexpr double kNow = 1772703660.0;
constexpr double kHour = 3600;
constexpr double kMidMinute = 30; // a second that changes no label ("in 2h 48m" holds for the whole minute)

void addWeekOfEvents(test::TestContext& fakes)
{
    const CalendarColor colors[] = {{53, 132, 228, 255}, {46, 194, 126, 255}, {192, 97, 203, 255}};
    for (int day = 0; day < 7; ++day)
        for (int i = 0; i < 3; ++i) {
            const double start = kNow - 660 + day * 24 * kHour + i * 3 * kHour;
            fakes.store.add(CalendarOccurrence{Instant{start},
                                               Instant{start + kHour},
                                               false,
                                               QStringLiteral("Event %1.%2").arg(day).arg(i),
                                               QStringLiteral("e%1-%2").arg(day).arg(i),
                                               colors[i],
                                               QStringLiteral("Work")});
        }
    fakes.store.announceChange();
    QCoreApplication::processEvents();
}

// The fullest places row the Settings allow: six world clocks (day in some, night in others) and four
// countdowns, with four events in the calendar.
void addSixClocksAndFourEvents(test::TestContext& fakes)
{
    fakes.worldClocks.setCityNames({QStringLiteral("London"),
                                    QStringLiteral("New York"),
                                    QStringLiteral("Dubai"),
                                    QStringLiteral("Tokyo"),
                                    QStringLiteral("San Francisco"),
                                    QStringLiteral("Sydney")});
    QList<Countdown> countdowns;
    for (int i = 0; i < 4; ++i)
        countdowns << Countdown::create(QStringLiteral("Countdown %1").arg(i),
                                        Instant{kNow + (1 + 9 * i) * 24 * kHour});
    fakes.countdowns.setItems(countdowns);
    for (int i = 0; i < 4; ++i) {
        const double start = kNow + 2 * kHour + i * 24 * kHour;
        fakes.store.add(CalendarOccurrence{Instant{start},
                                           Instant{start + kHour},
                                           false,
                                           QStringLiteral("Event %1").arg(i),
                                           QStringLiteral("e%1").arg(i),
                                           {53, 132, 228, 255},
                                           QStringLiteral("Work")});
    }
    fakes.store.announceChange();
    QCoreApplication::processEvents();
}

// Counts the paint events of every widget while it lives.
class PaintCounter final : public QObject {
public:
    PaintCounter() { qApp->installEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        count += event->type() == QEvent::Paint;
        return QObject::eventFilter(watched, event);
    }
    double count = 0;
};

// The layout made, laid out at its width and shown (not on screen), as the popover shows it.
template <typename Layout> void buildLayout(benchmark::State& state, int width)
{
    test::TestContext fakes(Instant{kNow});
    addWeekOfEvents(fakes);
    for (auto _ : state) {
        Layout layout(fakes.context());
        layout.setAttribute(Qt::WA_DontShowOnScreen);
        layout.resize(width, PopoverRoot::naturalHeight(&layout, width));
        layout.show();
        layout.layout()->activate();
        benchmark::DoNotOptimize(layout.height());
    }
}

void BM_BuildStandardLayout(benchmark::State& state)
{
    buildLayout<StandardView>(state, PopoverRoot::kStandardWidth);
}
BENCHMARK(BM_BuildStandardLayout)->Unit(benchmark::kMillisecond);

void BM_BuildCompactLayout(benchmark::State& state)
{
    buildLayout<CompactView>(state, PopoverRoot::kCompactWidth);
}
BENCHMARK(BM_BuildCompactLayout)->Unit(benchmark::kMillisecond);

// The open popover, ticked by the clock: `secondsPerTick` of 1 is the usual second (no label changes),
// 60 moves every relative label of a coming event ("in 2h 48m") and repaints it.
void openPopoverTicks(benchmark::State& state,
                      bool compact,
                      double secondsPerTick,
                      void (*fill)(test::TestContext&) = addWeekOfEvents)
{
    test::TestContext fakes(Instant{kNow});
    fakes.prefs.set(Pref::compactMode, compact);
    fill(fakes);
    PopoverWindow window; // a real window of the offscreen platform: it paints into its backing store
    window.setContent(new PopoverRoot(fakes.context()));
    window.showAt(QRect(640, 10, 1, 1));
    QCoreApplication::processEvents();
    PaintCounter painted;
    bool later = false;
    for (auto _ : state) {
        // Back and forth, so every tick is the same kind of tick however many the benchmark runs.
        later = !later;
        fakes.setNow(Instant{kNow + kMidMinute + (later ? secondsPerTick : 0)});
        QCoreApplication::processEvents(); // the repaint of what changed
    }
    state.counters["paints/tick"] = benchmark::Counter(painted.count, benchmark::Counter::kAvgIterations);
}

void BM_OpenStandardTickEachSecond(benchmark::State& state)
{
    openPopoverTicks(state, false, 1);
}
BENCHMARK(BM_OpenStandardTickEachSecond)->Unit(benchmark::kMicrosecond);

void BM_OpenStandardTickAtMinute(benchmark::State& state)
{
    openPopoverTicks(state, false, 60);
}
BENCHMARK(BM_OpenStandardTickAtMinute)->Unit(benchmark::kMicrosecond);

void BM_OpenCompactTickEachSecond(benchmark::State& state)
{
    openPopoverTicks(state, true, 1);
}
BENCHMARK(BM_OpenCompactTickEachSecond)->Unit(benchmark::kMicrosecond);

// The second of the open Standard layout with six world clocks, four countdowns and four events; the
// process's CPU time, since Qt fills large areas on worker threads.
void BM_OpenStandardSixClocksTickEachSecond(benchmark::State& state)
{
    openPopoverTicks(state, false, 1, addSixClocksAndFourEvents);
}
BENCHMARK(BM_OpenStandardSixClocksTickEachSecond)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();

// The same layout drawn again whole at scale 2, as a HiDPI screen needs it when the window is uncovered.
void BM_StandardSixClocksWholeAtScale2(benchmark::State& state)
{
    test::TestContext fakes(Instant{kNow});
    addSixClocksAndFourEvents(fakes);
    StandardView layout(fakes.context());
    layout.setAttribute(Qt::WA_DontShowOnScreen);
    layout.resize(PopoverRoot::kStandardWidth, PopoverRoot::naturalHeight(&layout, PopoverRoot::kStandardWidth));
    layout.show();
    QCoreApplication::processEvents();
    QImage image(layout.size() * 2, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(2);
    bool later = false;
    for (auto _ : state) {
        later = !later;
        fakes.setNow(Instant{kNow + kMidMinute + (later ? 1 : 0)});
        image.fill(ui::roleColor(ui::ColorRole::windowBackground, layout.palette()));
        layout.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_StandardSixClocksWholeAtScale2)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();

// A repaint of the whole open Standard popover, the most a second could ever cost.
void openStandardFullRepaint(benchmark::State& state, void (*fill)(test::TestContext&))
{
    test::TestContext fakes(Instant{kNow});
    fill(fakes);
    PopoverWindow window; // a real window of the offscreen platform: it paints into its backing store
    window.setContent(new PopoverRoot(fakes.context()));
    window.showAt(QRect(640, 10, 1, 1));
    QCoreApplication::processEvents();
    for (auto _ : state)
        window.repaint();
}

void BM_OpenStandardFullRepaint(benchmark::State& state)
{
    openStandardFullRepaint(state, addWeekOfEvents);
}
BENCHMARK(BM_OpenStandardFullRepaint)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();

void BM_OpenStandardSixClocksFullRepaint(benchmark::State& state)
{
    openStandardFullRepaint(state, addSixClocksAndFourEvents);
}
BENCHMARK(BM_OpenStandardSixClocksFullRepaint)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();

// From the status item's click (togglePopover) to the popover on screen with its content painted.
void toggleToShown(benchmark::State& state, bool compact)
{
    test::TestContext fakes(Instant{kNow});
    fakes.prefs.set(Pref::compactMode, compact);
    fakes.prefs.set(Pref::didRegisterLoginItem, true);
    addWeekOfEvents(fakes);
    AppDelegate delegate({QStringLiteral("kalvix")}, fakes.context(), [] { return std::unique_ptr<StatusItem>(); });
    delegate.applicationDidFinishLaunching();
    PopoverWindow* window = delegate.popover();
    PaintCounter painted;
    for (auto _ : state) {
        delegate.togglePopover(QRect(640, 10, 1, 1));
        QCoreApplication::processEvents(); // layout, appearance step and first paint
        benchmark::DoNotOptimize(window->isShown());
        state.PauseTiming();
        window->closePopover();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["paints/show"] = benchmark::Counter(painted.count, benchmark::Counter::kAvgIterations);
}

void BM_ToggleToShownStandard(benchmark::State& state)
{
    toggleToShown(state, false);
}
BENCHMARK(BM_ToggleToShownStandard)->Unit(benchmark::kMillisecond);

void BM_ToggleToShownCompact(benchmark::State& state)
{
    toggleToShown(state, true);
}
BENCHMARK(BM_ToggleToShownCompact)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    ::setenv("TZ", "Europe/London", 1);
    ::setenv("LC_ALL", "en_GB.UTF-8", 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QTemporaryDir home;
    ::setenv("XDG_CONFIG_HOME", home.path().toLocal8Bit().constData(), 1);
    QApplication app(argc, argv);
    ui::setPreferOwnSymbols(true);
    QApplication::setPalette(ui::lightPalette());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
