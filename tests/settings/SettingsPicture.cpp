// Draws the Settings window for the README from fixture data at a fixed time: the window at its top and
// scrolled to World Clocks, side by side, in the light and the dark palette.
//   settings_picture DIR   writes DIR/settings-light.png and DIR/settings-dark.png
#include "context/SettingsState.h"
#include "countdowns/Countdown.h"
#include "prefs/Prefs.h"
#include "settings/SettingsView.h"
#include "tests/support/TestContext.h"
#include "tests/support/TestEnv.h"
#include "ui/ColorRoles.h"
#include "ui/Symbols.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QStyleFactory>
#include <QTextStream>

using namespace kalvix;

namespace {

constexpr qreal kScale = 2;
constexpr int kGap = 24; // between the two windows, and around them
constexpr int kFrameAlpha = 60;

void fill(test::TestContext& fakes)
{
    fakes.prefs.set(Pref::showSeconds, true);
    fakes.prefs.set(Pref::timeStyle, TimeStyle::twentyFourHour);
    fakes.prefs.set(Pref::homeCity, QStringLiteral("Edinburgh"));
    fakes.loginItems.enabled = true;
    fakes.worldClocks.setCityNames(
        {QStringLiteral("London"), QStringLiteral("New York"), QStringLiteral("Tokyo"), QStringLiteral("Sydney")});
    fakes.countdowns.setItems({
        Countdown::create(QStringLiteral("Summer holiday"), Instant{test::utcSeconds(2025, 7, 18, 9)}),
        Countdown::create(QStringLiteral("Mum\u2019s birthday"), Instant{test::utcSeconds(2025, 4, 12, 9)}),
        Countdown::create(QStringLiteral("Tax return due"), Instant{test::utcSeconds(2026, 1, 31, 9)}),
    });
}

QImage grab(QWidget& widget)
{
    QImage image(widget.size() * kScale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(kScale);
    image.fill(Qt::transparent);
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawWindowBackground | QWidget::DrawChildren);
    return image;
}

QImage picture(const QPalette& palette)
{
    test::TestContext fakes(Instant{test::utcSeconds(2025, 3, 5, 11, 55, 30)});
    fill(fakes);
    SettingsView view(fakes.context());
    view.setPalette(palette);
    view.show();
    const QImage top = grab(view);
    fakes.settingsState.setTab(SettingsTab::worldClocks);
    view.finishScrolling();
    const QImage scrolled = grab(view);

    const QSize window(SettingsView::kWidth, SettingsView::kHeight);
    QImage sheet(QSize(2 * window.width() + 3 * kGap, window.height() + 2 * kGap) * kScale,
                 QImage::Format_ARGB32_Premultiplied);
    sheet.setDevicePixelRatio(kScale);
    sheet.fill(Qt::transparent);
    QPainter painter(&sheet);
    const QPoint places[] = {QPoint(kGap, kGap), QPoint(2 * kGap + window.width(), kGap)};
    painter.drawImage(places[0], top);
    painter.drawImage(places[1], scrolled);
    // A hairline frame, so a light window still stands out on a light page.
    painter.setPen(QPen(QColor(0, 0, 0, kFrameAlpha), 1));
    for (const QPoint place : places)
        painter.drawRect(QRectF(place, window).adjusted(-0.5, -0.5, 0.5, 0.5));
    return sheet;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        QTextStream(stderr) << "usage: settings_picture DIR\n";
        return 2;
    }
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QFont font(QStringLiteral("Noto Sans"));
    font.setPixelSize(13);
    QApplication::setFont(font);
    ui::setPreferOwnSymbols(true);

    const QDir dir(QString::fromLocal8Bit(argv[1]));
    bool ok = picture(ui::lightPalette()).save(dir.filePath(QStringLiteral("settings-light.png")));
    ok = picture(ui::darkPalette()).save(dir.filePath(QStringLiteral("settings-dark.png"))) && ok;
    return ok ? 0 : 1;
}
