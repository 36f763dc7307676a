// Light or dark: which palette the desktop's choice, the platform theme and the override give, and the
// views following a change while they are shown.
#include "ui/ColorScheme.h"
#include "tests/support/TestApplication.h"
#include "tests/support/TestEnv.h"
#include "ui/ColorRoles.h"
#include "ui/TextLabel.h"
#include "ui/TextStyles.h"

#include <QApplication>

#include <gtest/gtest.h>

using namespace kalvix;
using namespace kalvix::ui;

namespace {

QApplication& app()
{
    return test::testApplication<QApplication>();
}

QPalette themedDark()
{
    QPalette p = darkPalette();
    p.setColor(QPalette::Window, QColor(20, 30, 40)); // a theme's own dark, not Kalvix's
    return p;
}

struct PaletteRow {
    const char* name;
    std::optional<ColorScheme> override;
    ColorScheme desktop;
    bool platformDark;
    enum { platform, kalvixLight, kalvixDark } want;
};

class PaletteChoice : public ::testing::TestWithParam<PaletteRow> {};

} // namespace

TEST_P(PaletteChoice, keepsAThemesDarkPaletteAndOtherwiseFollowsTheDesktop)
{
    const PaletteRow& row = GetParam();
    QPalette light = lightPalette();
    light.setColor(QPalette::Window, QColor(250, 250, 240)); // a theme's own light
    const QPalette platform = row.platformDark ? themedDark() : light;
    const QPalette chosen = paletteFor(row.override, row.desktop, platform);
    switch (row.want) {
    case PaletteRow::platform:
        EXPECT_EQ(chosen, platform);
        break;
    case PaletteRow::kalvixLight:
        EXPECT_EQ(chosen, lightPalette());
        break;
    case PaletteRow::kalvixDark:
        EXPECT_EQ(chosen, darkPalette());
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows,
    PaletteChoice,
    ::testing::Values(
        PaletteRow{"light_desktop_light_theme", std::nullopt, ColorScheme::light, false, PaletteRow::platform},
        PaletteRow{"no_preference_light_theme", std::nullopt, ColorScheme::noPreference, false, PaletteRow::platform},
        PaletteRow{"dark_desktop_light_theme", std::nullopt, ColorScheme::dark, false, PaletteRow::kalvixDark},
        PaletteRow{"dark_desktop_dark_theme", std::nullopt, ColorScheme::dark, true, PaletteRow::platform},
        PaletteRow{"light_desktop_dark_theme", std::nullopt, ColorScheme::light, true, PaletteRow::platform},
        PaletteRow{
            "override_light_beats_dark_theme", ColorScheme::light, ColorScheme::dark, true, PaletteRow::kalvixLight},
        PaletteRow{
            "override_dark_beats_light_desktop", ColorScheme::dark, ColorScheme::light, false, PaletteRow::kalvixDark}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(ColorScheme, portalValuesAndTheOverrideVariable)
{
    EXPECT_EQ(colorSchemeFromPortal(0), ColorScheme::noPreference);
    EXPECT_EQ(colorSchemeFromPortal(1), ColorScheme::dark);
    EXPECT_EQ(colorSchemeFromPortal(2), ColorScheme::light);
    EXPECT_EQ(colorSchemeFromPortal(7), ColorScheme::noPreference);
    {
        test::ScopedEnv env("KALVIX_COLOR_SCHEME", " Dark ");
        EXPECT_EQ(colorSchemeOverride(), ColorScheme::dark);
    }
    {
        test::ScopedEnv env("KALVIX_COLOR_SCHEME", "sepia");
        EXPECT_EQ(colorSchemeOverride(), std::nullopt);
    }
    test::ScopedEnv env("KALVIX_COLOR_SCHEME", nullptr);
    EXPECT_EQ(colorSchemeOverride(), std::nullopt);
}

TEST(ColorScheme, aChangeOfTheDesktopsChoiceRepaintsShownViewsInTheOtherPalette)
{
    app();
    test::ScopedEnv env("KALVIX_COLOR_SCHEME", nullptr);
    QApplication::setPalette(QPalette());
    const QPalette platform = QGuiApplication::palette();
    ASSERT_FALSE(isDark(platform)) << "the offscreen platform's palette is light";
    DesktopColorScheme scheme(false);
    TextLabel label(QStringLiteral("Up Next"), systemFont(16), Ink::role(ColorRole::primary));
    label.setAttribute(Qt::WA_DontShowOnScreen);
    label.show();
    const auto textColour = [&] { return label.ink().resolve(label.palette()); };
    const QColor before = textColour();

    scheme.setDesktopScheme(ColorScheme::dark);
    QCoreApplication::sendPostedEvents(); // the palette reaches widgets by event, as in the running program
    EXPECT_TRUE(isDark(QGuiApplication::palette()));
    EXPECT_EQ(label.palette().color(QPalette::Window), darkPalette().color(QPalette::Window)) << "shown views follow";
    EXPECT_NE(textColour(), before);

    scheme.setDesktopScheme(ColorScheme::noPreference);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(QGuiApplication::palette().color(QPalette::Window), platform.color(QPalette::Window));
    EXPECT_EQ(textColour(), before);
}
