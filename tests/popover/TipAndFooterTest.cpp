#include "clock/Cities.h"
#include "popover/SunFooter.h"
#include "popover/TipBanner.h"
#include "prefs/IniPreferencesStore.h"
#include "prefs/Prefs.h"
#include "tests/popover/PopoverTestSupport.h"
#include "tests/support/TestContext.h"
#include "tests/support/TestEnv.h"
#include "ui/ClockTip.h"
#include "ui/PlainButton.h"
#include "ui/TextLabel.h"

#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace kalvix;
using namespace kalvix::test;

namespace {

const QTimeZone kLondon("Europe/London");

SunFooterText footerFor(const char* cityName, double utc, const char* locale = "en_GB")
{
    return sunFooterText(Instant{utc}, footerCity(QString::fromUtf8(cityName)), kLondon, QString::fromLatin1(locale));
}

} // namespace

TEST(TipBanner, saysHowToHideThisDesktopsClock)
{
    popoverApp();
    ScopedEnv desktop("XDG_CURRENT_DESKTOP", "ubuntu:GNOME");
    test::MemoryPreferencesStore prefs;
    TipBanner banner(prefs);
    EXPECT_EQ(banner.textLabel()->text(), ui::clockTipText());
    EXPECT_TRUE(banner.textLabel()->text().startsWith(QStringLiteral("Kalvix is your clock now.")));
    EXPECT_TRUE(banner.textLabel()->text().contains(QStringLiteral("Top Bar")));
    EXPECT_FALSE(banner.textLabel()->text().contains(QStringLiteral("Control Center")));
}

TEST(TipBanner, dismissedItIsGoneAtOnceAndForGoodAcrossARestart)
{
    popoverApp();
    QTemporaryDir home;
    const QString path = home.filePath(QStringLiteral("kalvix/kalvix.conf"));
    {
        IniPreferencesStore prefs(path);
        QWidget popover;
        auto* banner = new TipBanner(prefs, &popover);
        popover.show();
        EXPECT_TRUE(banner->isVisible());
        EXPECT_EQ(banner->dismissButton()->accessibleName(), QStringLiteral("Dismiss tip"));
        QTest::mouseClick(banner->dismissButton(), Qt::LeftButton);
        EXPECT_FALSE(banner->isVisible()) << "gone at once";
        EXPECT_TRUE(prefs.value(Pref::didDismissClockTip));
        popover.hide();
        popover.show();
        EXPECT_FALSE(banner->isVisible()) << "not back when the popover opens again";
    }
    // A new start: a new store reads the file, and the banner never shows.
    IniPreferencesStore prefs(path);
    QWidget popover;
    auto* banner = new TipBanner(prefs, &popover);
    popover.show();
    EXPECT_FALSE(banner->isVisible());
}

TEST(TipBanner, aFaintRoundedCardWithEightAroundItsContent)
{
    popoverApp();
    test::MemoryPreferencesStore prefs;
    TipBanner banner(prefs);
    banner.setFixedWidth(592);
    banner.resize(592, banner.sizeHint().height());
    for (const QPalette& palette : {ui::lightPalette(), ui::darkPalette()}) {
        banner.setPalette(palette);
        const QColor window = palette.color(QPalette::Window);
        const QImage image = renderWidget(banner, 2.0, window);
        const QColor card = over(ui::Ink::role(ui::ColorRole::quaternary, 0.5).resolve(palette), window);
        EXPECT_TRUE(sameRgb(pixelAt(image, QPointF(banner.width() / 2.0, 3)), card, 2));
        EXPECT_FALSE(sameRgb(card, window, 2)) << "the card shows";
        EXPECT_TRUE(sameRgb(pixelAt(image, QPointF(0.3, 0.3)), window, 2)) << "rounded corner";
    }
    EXPECT_EQ(banner.dismissButton()->geometry().right(), banner.width() - 1 - 8);
    EXPECT_EQ(banner.textLabel()->x() > 8 + 8, true) << "after the bulb and the spacing";
}

TEST(SunFooter, theHomeCityAndItsSunTimesInTheUsersZone)
{
    const double june21 = utcSeconds(2024, 6, 21, 12);
    const struct {
        const char* name;
        SunFooterText text;
        const char* city;
        const char* sunrise;
        const char* sunset;
    } rows[] = {
        // London in summer time: 03:42:52 and 20:21:29 UTC.
        {"london_midsummer", footerFor("London", june21), "London", "Sunrise  04:42", "Sunset  21:21"},
        {"unknown_name_falls_back_to_london",
         footerFor("Londinium", june21),
         "London",
         "Sunrise  04:42",
         "Sunset  21:21"},
        {"lower_case_is_another_name", footerFor("london", june21), "London", "Sunrise  04:42", "Sunset  21:21"},
        // Tokyo's sunrise on 1 March is 21:10 UTC on 29 February: an evening in London.
        {"tokyo_from_london",
         footerFor("Tokyo", utcSeconds(2024, 3, 1, 3)),
         "Tokyo",
         "Sunrise  21:10",
         "Sunset  08:36"},
        {"twelve_hour_locale",
         footerFor("Tokyo", utcSeconds(2024, 3, 1, 3), "en_US"),
         "Tokyo",
         "Sunrise  9:10\u202fPM",
         "Sunset  8:36\u202fAM"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.text.city, QString::fromLatin1(row.city)) << row.name;
        EXPECT_EQ(row.text.sunrise, QString::fromUtf8(row.sunrise)) << row.name;
        EXPECT_EQ(row.text.sunset, QString::fromUtf8(row.sunset)) << row.name;
    }
}

TEST(SunFooter, aHomeCityInPolarNightShowsDashes)
{
    const City longyearbyen{QStringLiteral("Longyearbyen"), QStringLiteral("Arctic/Longyearbyen"), 78.22, 15.65};
    const SunFooterText text =
        sunFooterText(Instant{utcSeconds(2024, 12, 21, 12)}, longyearbyen, kLondon, QStringLiteral("en_GB"));
    EXPECT_EQ(text.sunrise, QStringLiteral("Sunrise  \u2014"));
    EXPECT_EQ(text.sunset, QStringLiteral("Sunset  \u2014"));
    EXPECT_EQ(text.city, QStringLiteral("Longyearbyen"));
}

TEST(SunFooter, followsTheHomeCityPreferenceAtOnceAndTheDayThere)
{
    popoverApp();
    TestContext t(Instant{utcSeconds(2024, 2, 29, 14, 59, 59)}); // 23:59:59 in Tokyo
    SunFooter footer(t.context());
    footer.show();
    EXPECT_EQ(footer.cityLabel()->text(), QStringLiteral("London")) << "absent preference";
    t.prefs.set(Pref::homeCity, QStringLiteral("Tokyo"));
    EXPECT_EQ(footer.cityLabel()->text(), QStringLiteral("Tokyo"));
    const QString leapDay = footer.sunriseLabel()->text();
    t.advance(1); // 1 March in Tokyo: the next day's times
    EXPECT_NE(footer.sunriseLabel()->text(), leapDay);
    EXPECT_EQ(footer.sunriseLabel()->text(), QStringLiteral("Sunrise  21:10"));
    t.prefs.set(Pref::homeCity, QStringLiteral("Atlantis"));
    EXPECT_EQ(footer.cityLabel()->text(), QStringLiteral("London"));
}

TEST(SunFooter, theSeparatorIsTertiaryTheTimesAndTheCitySecondary)
{
    popoverApp();
    TestContext t(Instant{utcSeconds(2024, 6, 21, 12)});
    SunFooter footer(t.context());
    footer.setFixedWidth(592);
    footer.resize(592, footer.sizeHint().height());
    renderWidget(footer);
    const QList<ui::TextLabel*> labels = footer.findChildren<ui::TextLabel*>();
    ASSERT_EQ(labels.size(), 4);
    QStringList texts;
    for (ui::TextLabel* label : labels)
        texts << label->text();
    EXPECT_EQ(texts,
              (QStringList{QStringLiteral("Sunrise  04:42"),
                           QStringLiteral("Sunset  21:21"),
                           QStringLiteral("London"),
                           QStringLiteral("|")}));
    const QPalette palette = ui::lightPalette();
    EXPECT_EQ(labels[0]->ink().resolve(palette), ui::roleColor(ui::ColorRole::secondary, palette));
    EXPECT_EQ(labels[2]->ink().resolve(palette), ui::roleColor(ui::ColorRole::secondary, palette));
    EXPECT_EQ(labels[3]->ink().resolve(palette), ui::roleColor(ui::ColorRole::tertiary, palette));
    EXPECT_EQ(labels[2]->geometry().right(), footer.width() - 1) << "the city at the far end";
    EXPECT_LT(labels[1]->geometry().right(), footer.width() / 2) << "the times together on the left";
}
