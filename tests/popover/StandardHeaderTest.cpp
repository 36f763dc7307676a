#include "popover/StandardHeader.h"
#include "context/SettingsState.h"
#include "popover/BigTimeView.h"
#include "popover/HeaderTexts.h"
#include "popover/StandardMenu.h"
#include "prefs/Prefs.h"
#include "tests/popover/PopoverTestSupport.h"
#include "tests/support/TestContext.h"
#include "tests/support/TestEnv.h"
#include "ui/PlainButton.h"
#include "ui/TextLabel.h"
#include "ui/TextStyles.h"

#include <QAction>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QTest>

#include <gtest/gtest.h>

using namespace kalvix;
using namespace kalvix::test;

namespace {

const QTimeZone kLondon("Europe/London");

struct Ink {
    int top = -1;
    int bottom = -1;
    int darkest = 255;
};

// The rows with ink in a column range of an image painted over white, and its darkest grey.
Ink inkIn(const QImage& image, int left, int right)
{
    Ink ink;
    for (int y = 0; y < image.height(); ++y)
        for (int x = left; x < right; ++x) {
            const int grey = image.pixelColor(x, y).lightness();
            if (grey > 200)
                continue;
            if (ink.top < 0)
                ink.top = y;
            ink.bottom = y;
            ink.darkest = std::min(ink.darkest, grey);
        }
    return ink;
}

QStringList actionTexts(const QMenu& menu)
{
    QStringList out;
    for (const QAction* action : menu.actions())
        out << (action->isSeparator() ? QStringLiteral("---") : action->text());
    return out;
}

} // namespace

TEST(HeaderTexts, theBigClockTakesItsHourCycleFromTheLocaleOnly)
{
    const struct {
        const char* name;
        const char* locale;
        double utc;
        const char* time;
        const char* dayPeriod;
    } rows[] = {
        {"24_hour_evening", "en_GB", utcSeconds(2024, 1, 9, 21, 5, 7), "21:05:07", ""},
        {"12_hour_evening", "en_US", utcSeconds(2024, 1, 9, 21, 5, 7), "9:05:07", "PM"},
        {"12_hour_five_seconds_after_midnight", "en_US", utcSeconds(2024, 1, 9, 0, 0, 5), "12:00:05", "AM"},
        {"12_hour_noon", "en_US", utcSeconds(2024, 1, 9, 12, 0, 0), "12:00:00", "PM"},
        {"24_hour_morning_keeps_its_zero", "de_DE", utcSeconds(2024, 1, 9, 9, 5, 7), "09:05:07", ""},
        {"day_period_before_the_time", "ko_KR", utcSeconds(2024, 1, 9, 21, 5, 7), "9:05:07", "\uc624\ud6c4"},
        {"an_h_in_quotes_is_no_hour_cycle", "fr_CA", utcSeconds(2024, 1, 9, 21, 5, 7), "21:05:07", ""},
    };
    for (const auto& row : rows) {
        const BigClockText text = bigClockText(Instant{row.utc}, kLondon, QString::fromLatin1(row.locale));
        EXPECT_EQ(text.time, QString::fromLatin1(row.time)) << row.name;
        EXPECT_EQ(text.dayPeriod, QString::fromUtf8(row.dayPeriod)) << row.name;
    }
    // The menu-bar format has no say: a 12-hour menu bar leaves a British big clock at 24 hours.
    popoverApp();
    TestContext t(Instant{utcSeconds(2024, 1, 9, 21, 5, 7)});
    t.prefs.set(Pref::timeStyle, TimeStyle::twelveHour);
    StandardHeader header(t.context());
    EXPECT_EQ(header.bigTime()->text().time, QStringLiteral("21:05:07"));
}

TEST(HeaderTexts, theTitleIsTheFullDateInTheLocalesOrder)
{
    const Instant t{utcSeconds(2026, 12, 6, 10)};
    EXPECT_EQ(fullDateTitle(t, kLondon, QStringLiteral("en_US")), QStringLiteral("Sunday, December 6, 2026"));
    EXPECT_EQ(fullDateTitle(t, kLondon, QStringLiteral("de_DE")), QStringLiteral("Sonntag, 6. Dezember 2026"));
    EXPECT_EQ(fullDateTitle(t, QTimeZone("Pacific/Kiritimati"), QStringLiteral("en_US")),
              QStringLiteral("Monday, December 7, 2026"));
}

TEST(BigTimeView, theDayPeriodSitsOnTheTimesBaselineSmallerAndDimmer)
{
    popoverApp();
    BigTimeView view;
    view.setPalette(ui::lightPalette());
    view.setText({QStringLiteral("1:11:11"), QStringLiteral("PM")}); // flat feet: no overshoot below the line
    view.resize(view.sizeHint());
    const QImage image = renderWidget(view, 2.0, Qt::white);
    const int split = static_cast<int>((view.timeRect().right() + 4) * 2);
    const Ink time = inkIn(image, 0, split);
    const Ink firstDigit =
        inkIn(image, 0, static_cast<int>(view.timeRect().width() * 0.15 * 2)); // not a colon's round dot
    const Ink period = inkIn(image, split, image.width());
    ASSERT_GE(time.top, 0);
    ASSERT_GE(period.top, 0);
    EXPECT_EQ(period.bottom, firstDigit.bottom) << "one baseline";
    EXPECT_LT(period.bottom - period.top, (time.bottom - time.top) * 0.6) << "smaller";
    EXPECT_GT(period.darkest, time.darkest + 60) << "dimmer";
    EXPECT_NEAR(view.dayPeriodRect().left() - view.timeRect().right(), 8, 0.01);

    view.setText({QStringLiteral("21:05:07"), {}});
    EXPECT_TRUE(view.dayPeriodRect().isEmpty());
    EXPECT_EQ(view.accessibleName(), QStringLiteral("21:05:07"));
}

TEST(BigTimeView, nothingMovesFromSecondToSecond)
{
    popoverApp();
    // A font whose own digits differ in width, or the check would pass for any drawing.
    const QFont saved = QGuiApplication::font();
    QGuiApplication::setFont(QFont(QStringLiteral("Noto Serif CJK JP")));
    const QFontMetricsF fm(ui::systemFont(64, QFont::Bold));
    const bool proportional =
        fm.horizontalAdvance(QStringLiteral("11:11:11")) != fm.horizontalAdvance(QStringLiteral("00:00:00"));
    BigTimeView view;
    const QStringList times{
        QStringLiteral("00:00:00"), QStringLiteral("11:11:11"), QStringLiteral("18:48:58"), QStringLiteral("21:05:07")};
    QList<int> widths;
    for (const QString& t : times) {
        view.setText({t, QStringLiteral("PM")});
        widths << view.sizeHint().width();
    }
    QGuiApplication::setFont(saved);
    if (!proportional)
        GTEST_SKIP() << "no font with proportional digits on this machine";
    EXPECT_EQ(widths, QList<int>(times.size(), widths.front()));
}

TEST(StandardHeader, followsTheClockAndAChangeOfLocaleOrZoneAtTheNextTick)
{
    popoverApp();
    TestContext t(Instant{utcSeconds(2024, 3, 5, 21, 5, 7)});
    StandardHeader header(t.context());
    header.show();
    EXPECT_EQ(header.bigTime()->text().time, QStringLiteral("21:05:07"));
    EXPECT_EQ(header.dateTitle()->text(), QStringLiteral("Tuesday, 5 March 2024"));
    t.advance(1);
    EXPECT_EQ(header.bigTime()->text().time, QStringLiteral("21:05:08"));
    {
        ScopedEnv locale("LC_ALL", "en_US.UTF-8");
        t.advance(1);
        EXPECT_EQ(header.bigTime()->text().time, QStringLiteral("9:05:09"));
        EXPECT_EQ(header.bigTime()->text().dayPeriod, QStringLiteral("PM"));
        EXPECT_EQ(header.dateTitle()->text(), QStringLiteral("Tuesday, March 5, 2024"));
    }
    {
        ScopedEnv zone("TZ", "Asia/Tokyo");
        t.advance(1);
        EXPECT_EQ(header.bigTime()->text().time, QStringLiteral("06:05:10"));
        EXPECT_EQ(header.dateTitle()->text(), QStringLiteral("Wednesday, 6 March 2024"));
    }
    // The menu button stays put whatever the clock reads.
    const QPoint button = header.menuButton()->pos();
    t.advance(3 * 3600 + 60 * 7);
    header.layout()->activate();
    EXPECT_EQ(header.menuButton()->pos(), button);
}

TEST(StandardMenu, choosesTheLayoutOpensSettingsAndQuits)
{
    popoverApp();
    TestContext t(Instant{utcSeconds(2024, 3, 5, 21, 5, 7)});
    StandardHeader header(t.context());
    header.show();
    QTest::mouseClick(header.menuButton(), Qt::LeftButton);
    StandardMenu* menu = header.menu();
    EXPECT_TRUE(menu->isVisible());
    EXPECT_EQ(actionTexts(*menu),
              (QStringList{QStringLiteral("Standard"),
                           QStringLiteral("Compact"),
                           QStringLiteral("---"),
                           QStringLiteral("Settings\u2026"),
                           QStringLiteral("---"),
                           QStringLiteral("Quit Kalvix")}));
    EXPECT_TRUE(menu->standardAction()->isChecked());
    EXPECT_FALSE(menu->compactAction()->isChecked());

    menu->compactAction()->trigger();
    EXPECT_TRUE(t.prefs.value(Pref::compactMode));
    EXPECT_TRUE(menu->compactAction()->isChecked());
    t.prefs.set(Pref::compactMode, false); // another writer: the Compact layout's button, the file
    EXPECT_TRUE(menu->standardAction()->isChecked());

    menu->settingsAction()->trigger();
    ASSERT_EQ(t.actions.settingsTabs.size(), 1u);
    EXPECT_EQ(t.actions.settingsTabs.front(), SettingsTab::general);
    menu->quitAction()->trigger();
    EXPECT_EQ(t.actions.quits, 1);
    menu->hide();
}

TEST(StandardMenu, opensFromTheKeyboard)
{
    popoverApp();
    TestContext t(Instant{utcSeconds(2024, 3, 5, 21, 5, 7)});
    StandardHeader header(t.context());
    header.show();
    EXPECT_EQ(header.menuButton()->accessibleName(), QStringLiteral("Menu"));
    header.menuButton()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(header.menuButton(), Qt::Key_Return);
    EXPECT_TRUE(header.menu()->isVisible());
    header.menu()->hide();
}
