// The choice of what to draw for each host, and the panel colours learnt from hosts' own settings.
#include "statusitem/StatusHost.h"
#include "statusitem/PanelColors.h"
#include "tests/support/QtPrinters.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kalvix;

struct HostRow {
    const char* name;
    const char* process;
    const char* desktop;
    ItemLook look;
};

class HostLooks : public ::testing::TestWithParam<HostRow> {};

TEST_P(HostLooks, eachHostGetsTheLookItCanShow)
{
    const HostRow& row = GetParam();
    EXPECT_EQ(lookForHost(QString::fromUtf8(row.process), QString::fromUtf8(row.desktop)), row.look);
}

INSTANTIATE_TEST_SUITE_P(
    Hosts,
    HostLooks,
    ::testing::Values(HostRow{"gnome_shell_draws_labels", "gnome-shell", "GNOME", ItemLook::label},
                      HostRow{"xfce_panel_squares_icons", "xfce4-panel", "XFCE", ItemLook::squareIcon},
                      HostRow{"xfce_plugin_wrapper_process", "panel-2-systray", "", ItemLook::squareIcon},
                      HostRow{"xfce_plugin_high_number", "panel-17-systray", "", ItemLook::squareIcon},
                      HostRow{"lxqt_panel", "lxqt-panel", "", ItemLook::squareIcon},
                      HostRow{"plasma_watcher_in_kded", "kded5", "KDE", ItemLook::squareIcon},
                      HostRow{"waybar_keeps_aspect", "waybar", "sway", ItemLook::wideText},
                      // The process decides over the desktop: waybar in a GNOME-named session.
                      HostRow{"process_before_desktop_hint", "waybar", "GNOME", ItemLook::wideText},
                      HostRow{"unknown_process_on_ubuntu_gnome", "some-host", "ubuntu:GNOME", ItemLook::label},
                      HostRow{"unknown_process_on_kde", "", "KDE", ItemLook::squareIcon},
                      HostRow{"desktop_names_any_case", "", "x-cinnamon:xfce", ItemLook::squareIcon},
                      HostRow{"unknown_everything", "mystery", "Hyprland", ItemLook::wideText},
                      HostRow{"nothing_known", "", "", ItemLook::wideText},
                      // Not a pattern match by accident: "panel-x-systray" is no Xfce plugin name.
                      HostRow{"look_alike_name", "panel-x-systray", "", ItemLook::wideText}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(ProcessName, readsTheKernelsNameAndIsEmptyForNoProcess)
{
    EXPECT_FALSE(processName(static_cast<quint32>(QCoreApplication::applicationPid())).isEmpty());
    EXPECT_TRUE(processName(0).isEmpty());
    EXPECT_TRUE(processName(4194304 + 7).isEmpty()); // above the kernel's largest pid
}

struct CssRow {
    const char* name;
    const char* css;
    QColor ink; // invalid: the style sheet says nothing usable
};

class WaybarStyles : public ::testing::TestWithParam<CssRow> {};

TEST_P(WaybarStyles, theBarsTextColourOrAContrastToItsBackground)
{
    const CssRow& row = GetParam();
    const auto ink = waybarInk(QString::fromUtf8(row.css));
    ASSERT_EQ(ink.has_value(), row.ink.isValid());
    if (ink) {
        EXPECT_EQ(ink->name(), row.ink.name());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Css,
    WaybarStyles,
    ::testing::Values(
        CssRow{
            "debian_default",
            "* { font-size: 13px; }\nwindow#waybar {\n background-color: rgba(43, 48, 59, 0.5);\n color: #ffffff;\n}\n"
            "window#waybar.hidden { opacity: 0.2; color: #000; }",
            QColor(Qt::white)},
        CssRow{"short_hex_text", "window#waybar { color: #333; }", QColor(0x33, 0x33, 0x33)},
        CssRow{"light_background_only", "window#waybar { background: #f0f0f0; }", darkInk()},
        CssRow{"dark_background_only", "window#waybar { background-color: rgb(20, 20, 30); }", lightInk()},
        CssRow{"commented_out", "/* window#waybar { color: #ff0000; } */ #clock { color: red; }", QColor()},
        CssRow{"universal_rule", "* { color: white; }", QColor(Qt::white)},
        CssRow{"unreadable_colour_ignored", "window#waybar { color: @theme_fg; background: #101010; }", lightInk()},
        CssRow{"empty", "", QColor()}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(PanelSettings, xfceDarkModeThenTheGtkThemeName)
{
    const QString darkPanel = QStringLiteral(R"(<property name="dark-mode" type="bool" value="true"/>)");
    const QString lightPanel = QStringLiteral(R"(<property name="dark-mode" type="bool" value="false"/>)");
    const QString darkTheme = QStringLiteral(R"(<property name="ThemeName" type="string" value="Adwaita-dark"/>)");
    const QString lightTheme = QStringLiteral(R"(<property name="ThemeName" type="string" value="Greybird"/>)");
    EXPECT_EQ(xfcePanelIsDark(darkPanel, lightTheme), true);
    EXPECT_EQ(xfcePanelIsDark(lightPanel, darkTheme), true); // the panel follows a dark theme
    EXPECT_EQ(xfcePanelIsDark(lightPanel, lightTheme), false);
    EXPECT_EQ(xfcePanelIsDark(lightPanel, QString()), false);
    EXPECT_EQ(xfcePanelIsDark(QString(), QString()), std::nullopt);
}

TEST(PanelSettings, kdeSchemeAndGtkSettings)
{
    EXPECT_EQ(
        kdeInk(QStringLiteral("[General]\nForegroundNormal=1,2,3\n[Colors:Window]\nForegroundNormal=252,252,252\n"))
            ->name(),
        QColor(252, 252, 252).name());
    EXPECT_EQ(kdeInk(QStringLiteral("[Colors:Window]\nForegroundNormal=white\n")), std::nullopt);
    EXPECT_EQ(gtkThemeIsDark(QStringLiteral("[Settings]\ngtk-application-prefer-dark-theme=1\n")), true);
    EXPECT_EQ(gtkThemeIsDark(QStringLiteral("[Settings]\ngtk-theme-name=Arc-Dark\n")), true);
    EXPECT_EQ(gtkThemeIsDark(QStringLiteral("[Settings]\ngtk-theme-name=Adwaita\n")), false);
    EXPECT_EQ(gtkThemeIsDark(QStringLiteral("[Other]\ngtk-theme-name=Adwaita-dark\n")), std::nullopt);
}

TEST(PanelInk, readsTheHostsFilesAndFallsBackToLightText)
{
    QTemporaryDir config;
    ASSERT_TRUE(config.isValid());
    const auto write = [&](const QString& relative, const char* text) {
        const QString path = config.filePath(relative);
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    };
    // Nothing to learn from: light text, as for the dark panels most bars have.
    EXPECT_EQ(panelInk({QStringLiteral("mystery"), ItemLook::wideText}, config.path()), lightInk());
    write(QStringLiteral("waybar/style.css"), "window#waybar { background: #fafafa; color: #202020; }");
    EXPECT_EQ(panelInk({QStringLiteral("waybar"), ItemLook::wideText}, config.path()).name(),
              QStringLiteral("#202020"));
    write(QStringLiteral("xfce4/xfconf/xfce-perchannel-xml/xfce4-panel.xml"),
          R"(<property name="dark-mode" type="bool" value="false"/>)");
    EXPECT_EQ(panelInk({QStringLiteral("panel-2-systray"), ItemLook::squareIcon}, config.path()), darkInk());
    write(QStringLiteral("gtk-3.0/settings.ini"), "[Settings]\ngtk-theme-name=Adwaita\n");
    EXPECT_EQ(panelInk({QStringLiteral("mystery"), ItemLook::wideText}, config.path()), darkInk());
    // GNOME's top bar is dark whatever the application theme.
    EXPECT_EQ(panelInk({QStringLiteral("gnome-shell"), ItemLook::label}, config.path()), lightInk());
}
