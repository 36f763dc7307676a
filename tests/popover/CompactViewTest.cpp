// The Compact layout: grid, buttons and the agenda as the calendar service fills it.
#include "popover/CompactView.h"
#include "calendar/CalendarService.h"
#include "context/SettingsState.h"
#include "popover/AgendaEventRow.h"
#include "popover/CompactAgenda.h"
#include "popover/MonthGridView.h"
#include "prefs/Prefs.h"
#include "tests/popover/PopoverTestSupport.h"
#include "tests/support/CalendarTestSupport.h"
#include "tests/support/TestContext.h"
#include "ui/PlainButton.h"
#include "ui/Shapes.h"
#include "ui/TextLabel.h"

#include <QFontMetricsF>
#include <QTest>

#include <gtest/gtest.h>

using namespace kalvix;
using namespace kalvix::test;

namespace {

constexpr int kCompactWidth = 300;

Instant thursday()
{
    return local(2026, 3, 5, 9, 41);
}

struct Fixture {
    explicit Fixture(std::vector<CalendarOccurrence> events = {}, CalendarAccess access = CalendarAccess::fullAccess)
        : fakes(makeContext(access, std::move(events)))
        , view(fakes->context())
    {
        layOut(view, kCompactWidth);
    }

    static std::unique_ptr<TestContext> makeContext(CalendarAccess access, std::vector<CalendarOccurrence> events)
    {
        popoverApp();
        auto context = std::make_unique<TestContext>(thursday(), access);
        context->store.setOccurrences(std::move(events));
        context->store.announceChange();
        processQueued();
        return context;
    }

    QList<Divider*> agendaLines() const { return test::dividersIn(*view.agenda(), Qt::Horizontal); }

    std::unique_ptr<TestContext> fakes;
    CompactView view;
};

QStringList texts(const QList<ui::TextLabel*>& labels)
{
    QStringList out;
    for (const ui::TextLabel* label : labels)
        out << label->text();
    return out;
}

} // namespace

TEST(CompactView, theAgendaAppearsOnceAccessIsGrantedWithoutReopening)
{
    Fixture f({timed("Sync", thursday() + 600, thursday() + 1800)}, CalendarAccess::notDetermined);
    EXPECT_FALSE(f.view.agenda()->isVisible());
    const int gridAndButtons = f.view.height();
    f.fakes->store.answer(true);
    processQueued();
    layOut(f.view, kCompactWidth);
    EXPECT_TRUE(f.view.agenda()->isVisible());
    EXPECT_EQ(texts(f.view.agenda()->dayTitles()), QStringList{u"Today"_qs});
    EXPECT_GT(f.view.height(), gridAndButtons);

    Fixture refused({timed("Sync", thursday() + 600, thursday() + 1800)}, CalendarAccess::denied);
    EXPECT_FALSE(refused.view.agenda()->isVisible()) << "no agenda and no message when access is refused";
    EXPECT_EQ(refused.view.height(), gridAndButtons);
}

TEST(CompactView, nothingComingIsOneHairlineAndAQuietLine)
{
    Fixture f;
    EXPECT_EQ(f.agendaLines().size(), 1);
    ui::TextLabel* empty = f.view.agenda()->emptyText();
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->text(), u"No upcoming events"_qs);
    EXPECT_TRUE(empty->alignment() & Qt::AlignHCenter);
    EXPECT_EQ(rectIn(empty, &f.view).width(), kCompactWidth - 2 * 12);
    EXPECT_EQ(rectIn(empty, &f.view).top() - rectIn(f.agendaLines().first(), &f.view).bottom() - 1, 8 + 8)
        << "the stack's spacing, then the text's own padding";
    EXPECT_EQ(f.view.height() - 12 - 1 - rectIn(empty, &f.view).bottom(), 8) << "padding below, then the layout's";
}

TEST(CompactView, agendaDaysReadTodayTomorrowThenTheWeekdayEachBehindItsHairline)
{
    Fixture f({timed("Sync", local(2026, 3, 5, 9, 30), local(2026, 3, 5, 10), kBlue),
               allDay("Ada's birthday", local(2026, 3, 6), local(2026, 3, 7), kPink),
               timed("Market", local(2026, 3, 7, 10), local(2026, 3, 7, 11), kGreen)});
    EXPECT_EQ(texts(f.view.agenda()->dayTitles()), (QStringList{u"Today"_qs, u"Tomorrow"_qs, u"Saturday"_qs}));
    EXPECT_EQ(texts(f.view.agenda()->dayDates()), (QStringList{u"5 Mar"_qs, u"6 Mar"_qs, u"7 Mar"_qs}));
    for (ui::TextLabel* title : f.view.agenda()->dayTitles())
        EXPECT_EQ(title->font().weight(), QFont::Bold);
    for (ui::TextLabel* date : f.view.agenda()->dayDates())
        EXPECT_EQ(rectIn(date, &f.view).right(), kCompactWidth - 12 - 1) << "the date at the right";

    // A hairline before every day, the first included, none after the last.
    const auto lines = f.agendaLines();
    ASSERT_EQ(lines.size(), 3);
    const auto titles = f.view.agenda()->dayTitles();
    for (qsizetype i = 0; i < lines.size(); ++i)
        EXPECT_EQ(rectIn(titles[i], &f.view).top() - rectIn(lines[i], &f.view).bottom() - 1, 8) << i;
    const QRect buttons = rectIn(f.view.expandButton()->parentWidget(), &f.view);
    EXPECT_EQ(rectIn(lines.first(), &f.view).top() - buttons.bottom() - 1, 8);
    const QRect lastRow = rectIn(f.view.agenda()->eventRows().last(), &f.view);
    EXPECT_EQ(f.view.height() - 12 - 1 - lastRow.bottom(), 0) << "the last day ends the layout";
}

TEST(CompactView, allDayEventsShowABarAndTheirTitleTimedOnesADotAndTheirTimes)
{
    Fixture f({allDay("Ada's birthday", local(2026, 3, 5), local(2026, 3, 6), kPink),
               timed("Lunch with Maya, and a very long title that does not fit on one line of the compact popover",
                     local(2026, 3, 5, 12, 30),
                     local(2026, 3, 5, 13, 30),
                     kGreen)});
    const auto rows = f.view.agenda()->eventRows();
    ASSERT_EQ(rows.size(), 2);
    AgendaEventRow* birthday = rows[0];
    AgendaEventRow* lunch = rows[1];
    EXPECT_EQ(birthday->marker()->kind(), ui::ShapeView::Kind::roundedRect);
    EXPECT_EQ(birthday->marker()->size(), QSize(5, 12));
    EXPECT_EQ(birthday->timeLabel(), nullptr);
    EXPECT_EQ(lunch->marker()->kind(), ui::ShapeView::Kind::circle);
    EXPECT_EQ(lunch->marker()->size(), QSize(7, 7));
    ASSERT_NE(lunch->timeLabel(), nullptr);
    EXPECT_EQ(lunch->timeLabel()->text(), u"12:30 \u2013 13:30"_qs);
    EXPECT_TRUE(lunch->titleLabel()->isElided());
    EXPECT_EQ(lunch->titleLabel()->height(), lunch->titleLabel()->sizeHint().height()) << "one line";

    for (AgendaEventRow* row : rows) {
        // On the first text baseline: the marker's bottom edge stands on the title's baseline.
        const QRect marker = rectIn(row->marker(), row);
        const QRect title = rectIn(row->titleLabel(), row);
        const qreal baseline = title.top() + QFontMetricsF(row->titleLabel()->font()).ascent();
        EXPECT_NEAR(marker.bottom() + 1, baseline, 1.0) << row->event().title.toStdString();
        EXPECT_EQ(title.left() - marker.right() - 1, 6);
    }
}

TEST(CompactView, theButtonsExpandOpenSettingsAndQuit)
{
    Fixture f;
    EXPECT_EQ(f.view.expandButton()->toolTip(), u"Expand to standard view"_qs);
    EXPECT_EQ(f.view.settingsButton()->toolTip(), u"Settings"_qs);
    EXPECT_EQ(f.view.quitButton()->toolTip(), u"Quit Kalvix"_qs);
    f.fakes->prefs.set(Pref::compactMode, true);
    QTest::mouseClick(f.view.expandButton(), Qt::LeftButton);
    EXPECT_FALSE(f.fakes->prefs.boolValue(Pref::compactMode.name, true));
    EXPECT_TRUE(f.fakes->prefs.stored().contains(Pref::compactMode.name)) << "written, not left to the fallback";
    QTest::mouseClick(f.view.settingsButton(), Qt::LeftButton);
    EXPECT_EQ(f.fakes->actions.settingsTabs, std::vector<SettingsTab>{SettingsTab::general});
    QTest::keyClick(f.view.quitButton(), Qt::Key_Space);
    EXPECT_EQ(f.fakes->actions.quits, 1);

    // The expand button at the left, the other two at the right; all dimmed, all reachable with Tab.
    EXPECT_EQ(rectIn(f.view.expandButton(), &f.view).left(), 12);
    EXPECT_EQ(rectIn(f.view.quitButton(), &f.view).right(), kCompactWidth - 12 - 1);
    for (ui::PlainButton* b : {f.view.expandButton(), f.view.settingsButton(), f.view.quitButton()})
        EXPECT_TRUE(b->focusPolicy() & Qt::TabFocus);
}

TEST(CompactView, eachShowingStartsAtTheCurrentMonth)
{
    Fixture f;
    MonthGridView* grid = f.view.monthGrid();
    QTest::mouseClick(grid->nextButton(), Qt::LeftButton);
    QTest::mouseClick(grid->nextButton(), Qt::LeftButton);
    EXPECT_EQ(CivilCalendar::current().dateOf(grid->displayedMonth())->month, 5);
    f.view.hide();
    f.fakes->setNow(local(2026, 4, 2, 8));
    f.view.show();
    EXPECT_EQ(CivilCalendar::current().dateOf(grid->displayedMonth())->month, 4);
    EXPECT_EQ(CivilCalendar::current().dateOf(f.fakes->calendar.displayedMonth())->month, 4);
}
