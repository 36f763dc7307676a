// The choice of what to draw for each host, and the panel colours learnt from hosts' own settings.
#include "statusitem/StatusHost.h"
#include "statusitem/PanelColors.h"
#include "statusitem/PanelInkWatcher.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/TestApplication.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdio>

using namespace kalvix;

namespace kalvix {
void PrintTo(const ItemInk& ink, std::ostream* os)
{
    *os << ink.fill.name().toStdString() << (ink.hasOutline() ? " outlined " + ink.outline.name().toStdString() : "");
}
} // namespace kalvix

namespace {

constexpr int kDeadlineMs = 5000;

// A home of its own for one case: the config folder, and a data folder standing for XDG_DATA_DIRS.
struct PinnedFolders {
    QTemporaryDir root;
    PanelFiles files() const
    {
        // Below the user's config folder, as a Plasma session sets it: the global theme's defaults.
        return PanelFiles{root.filePath(QStringLiteral("config")),
                          {root.filePath(QStringLiteral("config/kdedefaults"))},
                          {root.filePath(QStringLiteral("data"))}};
    }
    void write(const QString& relative, const QByteArray& text) const
    {
        const QString path = root.filePath(relative);
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
};

} // namespace

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
        kdeColours(QStringLiteral("[General]\nForegroundNormal=1,2,3\n[Colors:Window]\nForegroundNormal=252,252,252\n"))
            .text.name(),
        QColor(252, 252, 252).name());
    EXPECT_FALSE(kdeColours(QStringLiteral("[Colors:Window]\nForegroundNormal=white\n")).text.isValid());
    EXPECT_FALSE(kdeColours(QStringLiteral("[Colors:Window]\nBackgroundNormal=300,0,0\n")).grounds.size());
    EXPECT_EQ(gtkThemeIsDark(QStringLiteral("[Settings]\ngtk-application-prefer-dark-theme=1\n")), true);
    EXPECT_EQ(gtkThemeIsDark(QStringLiteral("[Settings]\ngtk-theme-name=Arc-Dark\n")), true);
    EXPECT_EQ(gtkThemeIsDark(QStringLiteral("[Settings]\ngtk-theme-name=Adwaita\n")), false);
    EXPECT_EQ(gtkThemeIsDark(QStringLiteral("[Other]\ngtk-theme-name=Adwaita-dark\n")), std::nullopt);
}

TEST(PanelInk, readsTheHostsFilesAndFallsBackToOutlinedLightText)
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
    const PanelFiles files{config.path(), {}, {}};
    // Nothing to learn from: light text, as for the dark panels most bars have, outlined for the rest.
    EXPECT_EQ(panelInk({QStringLiteral("mystery"), ItemLook::wideText}, files), ItemInk(lightInk(), darkInk()));
    write(QStringLiteral("waybar/style.css"), "window#waybar { background: #fafafa; color: #202020; }");
    EXPECT_EQ(panelInk({QStringLiteral("waybar"), ItemLook::wideText}, files).fill.name(), QStringLiteral("#202020"));
    write(QStringLiteral("xfce4/xfconf/xfce-perchannel-xml/xfce4-panel.xml"),
          R"(<property name="dark-mode" type="bool" value="false"/>)");
    EXPECT_EQ(panelInk({QStringLiteral("panel-2-systray"), ItemLook::squareIcon}, files), ItemInk(darkInk()));
    write(QStringLiteral("gtk-3.0/settings.ini"), "[Settings]\ngtk-theme-name=Adwaita\n");
    EXPECT_EQ(panelInk({QStringLiteral("mystery"), ItemLook::wideText}, files), ItemInk(darkInk()));
    // GNOME's top bar is dark whatever the application theme.
    EXPECT_EQ(panelInk({QStringLiteral("gnome-shell"), ItemLook::label}, files), ItemInk(lightInk()));
}

// Breeze's colour schemes as plasma-apply-colorscheme writes them into kdeglobals (the groups a panel
// reads, abridged), and a Plasma theme's own colors file.
constexpr char kBreezeLightGlobals[] = "[ColorEffects:Disabled]\nColor=56,56,56\n\n"
                                       "[Colors:Header]\nBackgroundNormal=222,224,226\nForegroundNormal=35,38,41\n\n"
                                       "[Colors:Window]\nBackgroundNormal=239,240,241\nForegroundNormal=35,38,41\n\n"
                                       "[General]\nColorScheme=BreezeLight\n";
constexpr char kBreezeDarkGlobals[] = "[Colors:Header]\nBackgroundNormal=41,44,48\nForegroundNormal=252,252,252\n\n"
                                      "[Colors:Window]\nBackgroundNormal=32,35,38\nForegroundNormal=252,252,252\n\n"
                                      "[General]\nColorScheme=BreezeDark\n";
// What lookandfeeltool -a org.kde.breezetwilight.desktop writes: Breeze's light colours into kdeglobals,
// and the dark Plasma theme only into the defaults folder; and the breeze-dark Plasma theme's own colours.
constexpr char kBreezeTwilightGlobals[] =
    "[Colors:Header]\nBackgroundAlternate=239,240,241\nBackgroundNormal=222,224,226\nForegroundNormal=35,38,41\n\n"
    "[Colors:Header][Inactive]\nBackgroundNormal=239,240,241\nForegroundNormal=35,38,41\n\n"
    "[Colors:Window]\nBackgroundNormal=239,240,241\nForegroundNormal=35,38,41\n\n"
    "[KDE]\nLookAndFeelPackage=org.kde.breezetwilight.desktop\n";
constexpr char kTwilightDefaultPlasmarc[] = "[Theme]\nname=breeze-dark\n";
constexpr char kTwilightDefaultGlobals[] = "[General]\nColorScheme=BreezeLight\n";
constexpr char kBreezeDarkThemeColors[] =
    "[Colors:Header]\nBackgroundNormal=49,54,59\nForegroundNormal=252,252,252\n\n"
    "[Colors:Header][Inactive]\nBackgroundNormal=42,46,50\nForegroundNormal=252,252,252\n\n"
    "[Colors:Window]\nBackgroundNormal=42,46,50\nForegroundNormal=252,252,252\n";
// A plasmarc of the user's that holds other settings than the theme.
constexpr char kWallpapersPlasmarc[] = "[Wallpapers]\nusersWallpapers=\n";

struct PlasmaRow {
    const char* name;
    const char* plasmarc;   // null: no file
    const char* kdeglobals; // null: no file
    const char* dataFile;   // below the data folder; null: none
    const char* dataText;
    QColor ground; // the panel as Plasma 5.27 draws it
    QColor ink;
    const char* defaultPlasmarc = nullptr; // in the global theme's defaults folder; null: no file
    const char* defaultKdeglobals = nullptr;
};

class PlasmaPanels : public ::testing::TestWithParam<PlasmaRow> {};

TEST_P(PlasmaPanels, theThemeThenTheSchemeThenBreezeLight)
{
    const PlasmaRow& row = GetParam();
    PinnedFolders home;
    ASSERT_TRUE(home.root.isValid());
    if (row.plasmarc)
        home.write(QStringLiteral("config/plasmarc"), row.plasmarc);
    if (row.kdeglobals)
        home.write(QStringLiteral("config/kdeglobals"), row.kdeglobals);
    if (row.dataFile)
        home.write(u"data/" + QString::fromUtf8(row.dataFile), row.dataText);
    if (row.defaultPlasmarc)
        home.write(QStringLiteral("config/kdedefaults/plasmarc"), row.defaultPlasmarc);
    if (row.defaultKdeglobals)
        home.write(QStringLiteral("config/kdedefaults/kdeglobals"), row.defaultKdeglobals);
    for (const char* process : {"plasmashell", "kded5"}) {
        const ItemInk ink = panelInk({QString::fromLatin1(process), ItemLook::squareIcon}, home.files());
        EXPECT_EQ(ink.fill.name(), row.ink.name()) << process;
        EXPECT_FALSE(ink.hasOutline()) << process;
        EXPECT_GE(contrastRatio(ink.fill, row.ground), kLeastContrast) << process;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Plasma,
    PlasmaPanels,
    ::testing::Values(
        // No plasmarc, no kdeglobals: Breeze's light look, whose panel showed #cfd2d4 in a real session.
        PlasmaRow{"fresh_home", nullptr, nullptr, nullptr, nullptr, QColor(0xcf, 0xd2, 0xd4), QColor(35, 38, 41)},
        PlasmaRow{"breeze_light_applied",
                  nullptr,
                  kBreezeLightGlobals,
                  nullptr,
                  nullptr,
                  QColor(0xcf, 0xd2, 0xd4),
                  QColor(35, 38, 41)},
        PlasmaRow{"breeze_dark_applied",
                  "[Theme]\nname=default\n",
                  kBreezeDarkGlobals,
                  nullptr,
                  nullptr,
                  QColor(32, 35, 38),
                  QColor(252, 252, 252)},
        // kdeglobals that only names its scheme: Plasma's panel does not load the scheme's file for it,
        // and stays light (#d0d0d2 behind the item, where light text read 1.5:1).
        PlasmaRow{"scheme_named_only",
                  nullptr,
                  "[General]\nColorScheme=BreezeDark\n",
                  "color-schemes/BreezeDark.colors",
                  kBreezeDarkGlobals,
                  QColor(0xd0, 0xd0, 0xd2),
                  QColor(35, 38, 41)},
        // The same name among the global theme's defaults, below a kdeglobals of the user's without colours.
        PlasmaRow{"scheme_named_in_defaults",
                  nullptr,
                  "[KDE]\nSingleClick=false\n",
                  "color-schemes/BreezeDark.colors",
                  kBreezeDarkGlobals,
                  QColor(0xd0, 0xd0, 0xd2),
                  QColor(35, 38, 41),
                  "[Theme]\nname=default\n",
                  "[General]\nColorScheme=BreezeDark\n"},
        // Breeze Twilight: light applications, a dark panel. The Plasma theme is named among the defaults
        // only, below a plasmarc of the user's that says other things (where dark text read 1.1:1).
        PlasmaRow{"twilight_under_users_plasmarc",
                  kWallpapersPlasmarc,
                  kBreezeTwilightGlobals,
                  "plasma/desktoptheme/breeze-dark/colors",
                  kBreezeDarkThemeColors,
                  QColor(40, 46, 50),
                  QColor(252, 252, 252),
                  kTwilightDefaultPlasmarc,
                  kTwilightDefaultGlobals},
        // The theme the user chose wins over the global theme's.
        PlasmaRow{"users_theme_over_defaults",
                  "[Theme]\nname=default\n",
                  kBreezeTwilightGlobals,
                  "plasma/desktoptheme/breeze-dark/colors",
                  kBreezeDarkThemeColors,
                  QColor(0xcf, 0xd3, 0xd4),
                  QColor(35, 38, 41),
                  kTwilightDefaultPlasmarc,
                  kTwilightDefaultGlobals},
        // A Plasma theme with colours of its own draws the panel in them, whatever the scheme.
        PlasmaRow{"dark_plasma_theme_light_scheme",
                  "[Theme]\nname=breeze-dark\n",
                  kBreezeLightGlobals,
                  "plasma/desktoptheme/breeze-dark/colors",
                  kBreezeDarkGlobals,
                  QColor(32, 35, 38),
                  QColor(252, 252, 252)},
        PlasmaRow{"theme_without_colours_follows_scheme",
                  "[Theme]\nname=oxygen\n",
                  kBreezeDarkGlobals,
                  "plasma/desktoptheme/oxygen/metadata.desktop",
                  "[Desktop Entry]\nName=Oxygen\n",
                  QColor(32, 35, 38),
                  QColor(252, 252, 252)},
        // A scheme whose text would not read on its own panel: the ink that does.
        PlasmaRow{"scheme_text_too_faint",
                  nullptr,
                  "[Colors:Window]\nBackgroundNormal=239,240,241\nForegroundNormal=190,190,190\n",
                  nullptr,
                  nullptr,
                  QColor(239, 240, 241),
                  darkInk()},
        PlasmaRow{"corrupt_files",
                  "\x01\x02[Theme\nname=../../../etc\n",
                  "[Colors:Window]\nForegroundNormal=35;38\nBackgroundNormal=\n\xff\xfe",
                  nullptr,
                  nullptr,
                  QColor(0xcf, 0xd2, 0xd4),
                  QColor(35, 38, 41)}),
    [](const auto& row) { return std::string(row.param.name); });

struct LxqtRow {
    const char* name;
    const char* qss; // the panel rules of an lxqt-themes theme
    ItemInk ink;
    const char* panelConf = nullptr; // the user's panel.conf, as lxqt-panel's settings write it
};

class LxqtThemes : public ::testing::TestWithParam<LxqtRow> {};

TEST_P(LxqtThemes, theInkThatReadsOnEveryColourThePanelMayShow)
{
    const LxqtRow& row = GetParam();
    PinnedFolders home;
    ASSERT_TRUE(home.root.isValid());
    home.write(QStringLiteral("config/lxqt/lxqt.conf"), "[General]\ntheme=chosen\nicon_theme=breeze\n");
    home.write(QStringLiteral("data/lxqt/themes/chosen/lxqt-panel.qss"), row.qss);
    if (row.panelConf)
        home.write(QStringLiteral("config/lxqt/panel.conf"), row.panelConf);
    const ItemInk ink = panelInk({QStringLiteral("lxqt-panel"), ItemLook::squareIcon}, home.files());
    EXPECT_EQ(ink, row.ink);
    if (!ink.hasOutline()) {
        const auto custom = lxqtCustomGrounds(home.root.filePath(QStringLiteral("config/lxqt/panel.conf")));
        for (const QColor& ground : custom ? *custom : lxqtPanelGrounds(QString::fromUtf8(row.qss))) {
            EXPECT_GE(contrastRatio(ink.fill, ground), kLeastContrast) << ground.name().toStdString();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lxqt,
    LxqtThemes,
    ::testing::Values(
        LxqtRow{
            "light_gradient",
            "/*\n * Light\n */\nLXQtPanel #BackgroundWidget {\n    background-color: qlineargradient(x1:0, y1:0, x2:0, "
            "y2:1, stop:0 #EFEFEF, stop:0.25 #e9e9e9, stop:0.5 #dfdfdf, stop:0.75 #d7d7d7, stop:1 #c0c0c0);\n}\n"
            "LXQtPanel[position=\"Top\"] #BackgroundWidget {\n    border-bottom: 1px solid #B0B0B0;\n}\n",
            ItemInk(darkInk())},
        LxqtRow{"kde_plasma_opaque_percent",
                "LXQtPanel #BackgroundWidget {\n    background: rgba(240, 240, 240, 100%);\n}\n",
                ItemInk(darkInk())},
        LxqtRow{"clearlooks", "LXQtPanel #BackgroundWidget {\n    background-color: #edeceb;\n}\n", ItemInk(darkInk())},
        LxqtRow{"arch_colors", "LXQtPanel #BackgroundWidget {\n    background: #041b27;\n}\n", ItemInk(lightInk())},
        // Half see-through black over an unknown desktop: light text, outlined for a light wallpaper.
        LxqtRow{"dark_see_through",
                "LXQtPanel #BackgroundWidget {\n    background: rgba(0, 0, 0, 50%);\n}\n",
                ItemInk(lightInk(), darkInk())},
        // The colour comes from the Qt palette, which the theme does not say: the outlined fallback.
        LxqtRow{"frost_palette",
                "LXQtPanel #BackgroundWidget {\n    background: palette(text);\n}\n",
                ItemInk(lightInk(), darkInk())},
        LxqtRow{"only_a_position_rule",
                "LXQtPanel[position=\"Top\"] #BackgroundWidget { background: #ffffff; }",
                ItemInk(lightInk(), darkInk())},
        LxqtRow{"corrupt", "LXQtPanel #BackgroundWidget {{ background: rgba(1,2; }}}", ItemInk(lightInk(), darkInk())},
        // A background colour chosen in the panel's settings is what the panel paints, over the theme's:
        // #2b3036 as the settings dialog saves a colour, on the light theme.
        LxqtRow{"custom_dark_on_light_theme",
                "LXQtPanel #BackgroundWidget {\n    background-color: #edeceb;\n}\n",
                ItemInk(lightInk()),
                "[General]\n__userfile__=true\npanels=panel1\n\n[panel1]\n"
                "background-color=@Variant(\\0\\0\\0\\x43\\x1\\xff\\xff++0066\\0\\0)\nopacity=100\n"
                "plugins=spacer, statusnotifier\n\n[statusnotifier]\ntype=statusnotifier\n"},
        LxqtRow{"custom_light_on_dark_theme_by_name",
                "LXQtPanel #BackgroundWidget {\n    background: #041b27;\n}\n",
                ItemInk(darkInk()),
                "[General]\npanels=panel1\n\n[panel1]\nbackground-color=#f0e8d8\nplugins=tray\n"},
        // Half see-through over an unknown desktop: light ink, outlined for a light wallpaper.
        LxqtRow{"custom_half_opaque",
                "LXQtPanel #BackgroundWidget {\n    background-color: #edeceb;\n}\n",
                ItemInk(lightInk(), darkInk()),
                "[General]\npanels=panel1\n\n[panel1]\nbackground-color=#2b3036\nopacity=50\n"},
        // The panel that holds the tray is the one whose colour counts.
        LxqtRow{"custom_in_the_panel_with_the_tray",
                "LXQtPanel #BackgroundWidget {\n    background-color: #edeceb;\n}\n",
                ItemInk(lightInk()),
                "[General]\npanels=panel1, panel2\n\n[panel1]\nbackground-color=#ffffff\nplugins=menu\n\n"
                "[panel2]\nbackground-color=#101010\nplugins=clock2, sni\n\n[menu]\ntype=mainmenu\n\n"
                "[sni]\ntype=statusnotifier\n"},
        // Opacity alone leaves the theme's colour, as the panel does; so does a colour that does not parse.
        LxqtRow{"custom_opacity_only",
                "LXQtPanel #BackgroundWidget {\n    background: #041b27;\n}\n",
                ItemInk(lightInk()),
                "[General]\npanels=panel1\n\n[panel1]\nopacity=40\n"},
        LxqtRow{"custom_corrupt",
                "LXQtPanel #BackgroundWidget {\n    background: #041b27;\n}\n",
                ItemInk(lightInk()),
                "\x01[General\npanels=panel1\n[panel1]\nbackground-color=@Variant(\\0\\0\\x43\\x1)\n"
                "opacity=lots\n\xff\xfe"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(PanelInk, lxqtWithoutATheme)
{
    PinnedFolders home;
    ASSERT_TRUE(home.root.isValid());
    // No lxqt.conf: nothing tells the panel's colour.
    EXPECT_EQ(panelInk({QStringLiteral("lxqt-panel"), ItemLook::squareIcon}, home.files()),
              ItemInk(lightInk(), darkInk()));
    // A theme that is not installed, or a name that would leave the themes folder.
    home.write(QStringLiteral("config/lxqt/lxqt.conf"), "[General]\ntheme=../../..\n");
    EXPECT_EQ(panelInk({QStringLiteral("lxqt-panel"), ItemLook::squareIcon}, home.files()),
              ItemInk(lightInk(), darkInk()));
    EXPECT_DOUBLE_EQ(contrastRatio(Qt::white, Qt::black), 21.0);
}

// A look switched while Kalvix runs, as settings tools write it: a new file renamed over the old one (or
// into place where there was none). The ink follows once the burst settles, and keeps following.
struct SwitchRow {
    const char* name;
    const char* process;
    const char* file; // below the pinned home
    const char* before;
    const char* after;
    ItemInk inkBefore;
    ItemInk inkAfter;
};

class LookSwitches : public ::testing::TestWithParam<SwitchRow> {};

namespace {

void replaceByRename(const PinnedFolders& home, const QString& relative, const QByteArray& text)
{
    home.write(relative + u".new", text);
    const QString target = home.root.filePath(relative);
    ASSERT_EQ(std::rename(QFile::encodeName(target + u".new").constData(), QFile::encodeName(target).constData()), 0);
}

} // namespace

TEST_P(LookSwitches, theInkFollowsTheSwitchWithoutARestart)
{
    const SwitchRow& row = GetParam();
    test::testApplication();
    PinnedFolders home;
    ASSERT_TRUE(home.root.isValid());
    // Two LXQt themes, light and dark, to switch between.
    home.write(QStringLiteral("data/lxqt/themes/light/lxqt-panel.qss"),
               "LXQtPanel #BackgroundWidget { background-color: #edeceb; }");
    home.write(QStringLiteral("data/lxqt/themes/dark/lxqt-panel.qss"),
               "LXQtPanel #BackgroundWidget { background-color: #041b27; }");
    home.write(QStringLiteral("config/lxqt/lxqt.conf"), "[General]\ntheme=light\n");
    const QString file = QString::fromUtf8(row.file);
    if (row.before)
        home.write(file, row.before);

    PanelInkWatcher watcher;
    QSignalSpy changed(&watcher, &PanelInkWatcher::inkChanged);
    EXPECT_EQ(watcher.learn({QString::fromUtf8(row.process), ItemLook::squareIcon}, home.files()), row.inkBefore);
    EXPECT_FALSE(watcher.changePending());

    replaceByRename(home, file, row.after);
    ASSERT_TRUE(QTest::qWaitFor([&] { return watcher.changePending(); }, kDeadlineMs)) << "the switch is seen";
    watcher.settleNow();
    EXPECT_EQ(watcher.ink(), row.inkAfter);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).at(0).value<ItemInk>(), row.inkAfter);

    // The new file is watched in turn: switching back is seen too.
    replaceByRename(home, file, row.before ? QByteArray(row.before) : QByteArray());
    ASSERT_TRUE(QTest::qWaitFor([&] { return watcher.changePending(); }, kDeadlineMs)) << "the switch back is seen";
    watcher.settleNow();
    EXPECT_EQ(watcher.ink(), row.inkBefore);
    EXPECT_EQ(changed.count(), 2);
}

INSTANTIATE_TEST_SUITE_P(
    Hosts,
    LookSwitches,
    ::testing::Values(
        // plasma-apply-colorscheme BreezeDark, as it writes kdeglobals.
        SwitchRow{"plasma_colour_scheme",
                  "plasmashell",
                  "config/kdeglobals",
                  "[General]\nColorScheme=BreezeLight\n\n[Colors:Window]\nBackgroundNormal=239,240,241\n"
                  "ForegroundNormal=35,38,41\n\n[Colors:Header]\nBackgroundNormal=222,224,226\n",
                  "[General]\nColorScheme=BreezeDark\n\n[Colors:Window]\nBackgroundNormal=32,35,38\n"
                  "ForegroundNormal=252,252,252\n\n[Colors:Header]\nBackgroundNormal=41,44,48\n",
                  ItemInk(QColor(35, 38, 41)),
                  ItemInk(QColor(252, 252, 252))},
        SwitchRow{"lxqt_panel_theme",
                  "lxqt-panel",
                  "config/lxqt/lxqt.conf",
                  "[General]\ntheme=light\n",
                  "[General]\ntheme=dark\nicon_theme=breeze\n",
                  ItemInk(darkInk()),
                  ItemInk(lightInk())},
        // A colour chosen in the panel's own settings, in a panel.conf that was not there before.
        SwitchRow{
            "lxqt_panel_settings",
            "lxqt-panel",
            "config/lxqt/panel.conf",
            nullptr,
            "[General]\npanels=panel1\n\n[panel1]\nbackground-color=@Variant(\\0\\0\\0\\x43\\x1\\xff\\xff++0066\\0\\0)"
            "\nplugins=statusnotifier\n\n[statusnotifier]\ntype=statusnotifier\n",
            ItemInk(darkInk()),
            ItemInk(lightInk())},
        SwitchRow{"xfce_theme",
                  "xfce4-panel",
                  "config/xfce4/xfconf/xfce-perchannel-xml/xsettings.xml",
                  "<channel name=\"xsettings\"><property name=\"Net\" type=\"empty\"><property name=\"ThemeName\" "
                  "type=\"string\" value=\"Greybird\"/></property></channel>",
                  "<channel name=\"xsettings\"><property name=\"Net\" type=\"empty\"><property name=\"ThemeName\" "
                  "type=\"string\" value=\"Greybird-dark\"/></property></channel>",
                  ItemInk(darkInk()),
                  ItemInk(lightInk())},
        SwitchRow{"gtk_dark_preference",
                  "mystery",
                  "config/gtk-3.0/settings.ini",
                  "[Settings]\ngtk-theme-name=Adwaita\n",
                  "[Settings]\ngtk-theme-name=Adwaita\ngtk-application-prefer-dark-theme=1\n",
                  ItemInk(darkInk()),
                  ItemInk(lightInk())},
        SwitchRow{"waybar_style",
                  "waybar",
                  "config/waybar/style.css",
                  "window#waybar { background: #f0f0f0; color: #202020; }",
                  "window#waybar { background: #101010; color: #e0e0e0; }",
                  ItemInk(QColor(0x20, 0x20, 0x20)),
                  ItemInk(QColor(0xe0, 0xe0, 0xe0))}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(PanelInkWatcher, watchesTheFoldersOfFilesThatAreNotThereYet)
{
    test::testApplication();
    PinnedFolders home;
    ASSERT_TRUE(home.root.isValid());
    home.write(QStringLiteral("config/kdeglobals"), "[General]\n");
    PanelInkWatcher watcher;
    watcher.learn({QStringLiteral("plasmashell"), ItemLook::squareIcon}, home.files());
    const QStringList watched = watcher.watchedPaths();
    EXPECT_TRUE(watched.contains(home.root.filePath(QStringLiteral("config/kdeglobals"))));
    EXPECT_TRUE(watched.contains(home.root.filePath(QStringLiteral("config"))));
    // No plasmarc and no data folder: the nearest folders that exist, where they may be created.
    EXPECT_FALSE(watched.contains(home.root.filePath(QStringLiteral("config/plasmarc"))));
    EXPECT_TRUE(watched.contains(home.root.path()));
    EXPECT_FALSE(watched.contains(QStringLiteral("/")));
    // Nothing changed: nothing waits, and settling does not report a change.
    QSignalSpy changed(&watcher, &PanelInkWatcher::inkChanged);
    watcher.settleNow();
    EXPECT_EQ(changed.count(), 0);
}
