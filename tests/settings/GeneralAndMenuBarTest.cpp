#include "clock/Cities.h"
#include "desktop/LoginItems.h"
#include "prefs/Prefs.h"
#include "settings/FormPicker.h"
#include "settings/GeneralSection.h"
#include "settings/SettingsView.h"
#include "tests/settings/SettingsTestSupport.h"
#include "tests/support/TestContext.h"
#include "tests/support/TestEnv.h"
#include "tests/support/UserFiles.h"
#include "ui/Switch.h"
#include "ui/TextLabel.h"

#include <QDir>
#include <QTemporaryDir>

#include <QRegularExpression>
#include <QWheelEvent>

using namespace kalvix;
using namespace kalvix::test;

namespace {

// Wednesday 5 March 2025, 15:04:05 in London.
struct Settings {
    Settings()
        : fakes(Instant{utcSeconds(2025, 3, 5, 15, 4, 5)})
    {
        app();
    }
    SettingsView& open()
    {
        view = std::make_unique<SettingsView>(fakes.context());
        view->show();
        return *view;
    }
    ui::Switch* toggle(const char* name) { return control<ui::Switch>(view.get(), QString::fromUtf8(name)); }
    settings::FormPicker* picker(const char* name)
    {
        return control<settings::FormPicker>(view.get(), QString::fromUtf8(name));
    }
    // The title the status item shows after the clock's next tick.
    QString titleAfterTick()
    {
        fakes.advance(1);
        return fakes.clock.menuBarTitle();
    }

    TestContext fakes;
    std::unique_ptr<SettingsView> view;
};

bool matches(const QString& text, const char* pattern)
{
    return QRegularExpression(QString::fromUtf8(pattern)).match(text).hasMatch();
}

} // namespace

TEST(MenuBarSection, showSecondsReachesTheTitleWithinASecond)
{
    Settings s;
    s.open();
    ui::Switch* seconds = s.toggle("Show seconds");
    EXPECT_FALSE(seconds->isChecked());
    EXPECT_TRUE(matches(s.titleAfterTick(), R"(\b15:04$)")) << s.fakes.clock.menuBarTitle().toStdString();

    QTest::mouseClick(seconds, Qt::LeftButton);
    EXPECT_TRUE(s.fakes.prefs.value(Pref::showSeconds));
    EXPECT_TRUE(matches(s.titleAfterTick(), R"(\b15:04:07$)")) << s.fakes.clock.menuBarTitle().toStdString();

    seconds->setFocus(Qt::TabFocusReason);
    QTest::keyClick(seconds, Qt::Key_Space); // the keyboard does what the mouse does
    EXPECT_FALSE(seconds->isChecked());
    EXPECT_TRUE(matches(s.titleAfterTick(), R"(\b15:04$)")) << s.fakes.clock.menuBarTitle().toStdString();
}

TEST(MenuBarSection, timeFormatAndDateStyleShapeTheTitle)
{
    Settings s;
    s.open();
    EXPECT_EQ(options(s.picker("Time format")),
              (QStringList{QStringLiteral("System default"), QStringLiteral("12-hour"), QStringLiteral("24-hour")}));
    EXPECT_EQ(options(s.picker("Date style")),
              (QStringList{QStringLiteral("Text (5 Jul 2026)"), QStringLiteral("Numeric (05-07-2026)")}));
    QTest::mouseClick(s.toggle("Show seconds"), Qt::LeftButton);

    choose(s.picker("Time format"), QStringLiteral("24-hour"));
    EXPECT_EQ(s.fakes.prefs.intValue(Pref::timeStyle.name, -1), 2);
    EXPECT_TRUE(matches(s.titleAfterTick(), R"(\b15:04:06$)")) << s.fakes.clock.menuBarTitle().toStdString();

    choose(s.picker("Time format"), QStringLiteral("12-hour"));
    EXPECT_TRUE(matches(s.titleAfterTick(), R"(\b3:04:07\s(pm|PM)$)")) << s.fakes.clock.menuBarTitle().toStdString();

    choose(s.picker("Date style"), QStringLiteral("Numeric (05-07-2026)"));
    EXPECT_EQ(s.fakes.prefs.intValue(Pref::dateStyle.name, -1), 1);
    EXPECT_TRUE(matches(s.titleAfterTick(), R"(^Wed 05\D)")) << s.fakes.clock.menuBarTitle().toStdString();
}

TEST(MenuBarSection, aStoredNumberOfNoOptionShowsNoneAndStaysUntilTheUserChooses)
{
    Settings s;
    s.fakes.prefs.setInt(Pref::timeStyle.name, 7);
    s.open();
    settings::FormPicker* format = s.picker("Time format");
    EXPECT_EQ(format->currentIndex(), -1);
    QTest::mouseClick(s.toggle("Show year"), Qt::LeftButton); // other settings change meanwhile
    EXPECT_EQ(s.fakes.prefs.rawValue(Pref::timeStyle.name), QStringLiteral("7"));

    choose(format, QStringLiteral("System default"));
    EXPECT_EQ(s.fakes.prefs.intValue(Pref::timeStyle.name, -1), 0);
}

TEST(MenuBarSection, everyControlShowsChangesFromOtherWritersAtOnce)
{
    Settings s;
    s.open();
    QTest::mouseClick(s.toggle("Show weekday"), Qt::LeftButton);
    s.fakes.prefs.simulateExternalEdit({{Pref::showYear.name, QStringLiteral("false")},
                                        {Pref::showSeconds.name, QStringLiteral("true")},
                                        {Pref::timeStyle.name, QStringLiteral("1")},
                                        {Pref::dateStyle.name, QStringLiteral("1")},
                                        {Pref::homeCity.name, QStringLiteral("Lisbon")}});
    EXPECT_TRUE(s.toggle("Show weekday")->isChecked()) << "a key removed by hand reads as its default";
    EXPECT_FALSE(s.toggle("Show year")->isChecked());
    EXPECT_TRUE(s.toggle("Show seconds")->isChecked());
    EXPECT_EQ(s.picker("Time format")->currentText(), QStringLiteral("12-hour"));
    EXPECT_EQ(s.picker("Date style")->currentText(), QStringLiteral("Numeric (05-07-2026)"));
    EXPECT_EQ(s.picker("Home city")->currentText(), QStringLiteral("Lisbon"));
}

TEST(MenuBarSection, theWheelScrollsPastAPickerWithoutChangingIt)
{
    Settings s;
    s.open();
    settings::FormPicker* format = s.picker("Time format");
    const QPointF at(format->rect().center());
    QWheelEvent wheel(at, format->mapToGlobal(at), {}, QPoint(0, -120), Qt::NoButton, {}, Qt::NoScrollPhase, false);
    QApplication::sendEvent(format, &wheel);
    EXPECT_EQ(format->currentIndex(), 0);
    EXPECT_FALSE(s.fakes.prefs.contains(Pref::timeStyle.name));
}

TEST(GeneralSection, homeCityListsTheCatalogWithLondonChosenOnAFreshInstall)
{
    Settings s;
    s.open();
    settings::FormPicker* home = s.picker("Home city");
    QStringList catalog;
    for (const City& city : Cities::all())
        catalog << city.name;
    EXPECT_EQ(options(home), catalog);
    EXPECT_EQ(home->currentText(), QStringLiteral("London"));
    EXPECT_FALSE(s.fakes.prefs.contains(Pref::homeCity.name)) << "the default is not written";

    choose(home, QStringLiteral("Tokyo"));
    EXPECT_EQ(s.fakes.prefs.stringValue(Pref::homeCity.name, {}), QStringLiteral("Tokyo"));
}

TEST(GeneralSection, aHomeCityOutsideTheCatalogShowsNoneAndStays)
{
    Settings s;
    s.fakes.prefs.set(Pref::homeCity, QStringLiteral("Atlantis"));
    s.open();
    EXPECT_EQ(s.picker("Home city")->currentIndex(), -1);
    EXPECT_EQ(s.fakes.prefs.rawValue(Pref::homeCity.name), QStringLiteral("Atlantis"));
}

TEST(GeneralSection, launchAtLoginShowsTheServiceAndGoesBackWithAMessageWhenItFails)
{
    Settings s;
    s.fakes.loginItems.enabled = true;
    s.open();
    ui::Switch* launch = s.toggle("Launch at login");
    auto* general = s.view->findChild<settings::GeneralSection*>();
    ASSERT_NE(general, nullptr);
    EXPECT_TRUE(launch->isChecked()) << "read when the section is made";
    EXPECT_FALSE(general->launchAtLoginMessage()->isVisibleTo(s.view.get()));

    QTest::mouseClick(launch, Qt::LeftButton);
    EXPECT_EQ(s.fakes.loginItems.unregistrations, 1);
    EXPECT_FALSE(s.fakes.loginItems.enabled);

    s.fakes.loginItems.succeed = false;
    QTest::mouseClick(launch, Qt::LeftButton);
    EXPECT_EQ(s.fakes.loginItems.registrations, 1);
    EXPECT_FALSE(launch->isChecked()) << "back to what will happen at the next login";
    EXPECT_TRUE(general->launchAtLoginMessage()->isVisibleTo(s.view.get()));
    EXPECT_TRUE(general->launchAtLoginMessage()->text().contains(QStringLiteral("could not be set to start at login")));

    s.fakes.loginItems.succeed = true;
    QTest::mouseClick(launch, Qt::LeftButton);
    EXPECT_TRUE(launch->isChecked());
    EXPECT_FALSE(general->launchAtLoginMessage()->isVisibleTo(s.view.get())) << "a flip that works clears it";

    s.fakes.loginItems.enabled = false; // the entry removed by hand meanwhile
    s.view->hide();
    s.view->show();
    EXPECT_FALSE(launch->isChecked()) << "the real state when the window comes back";
    EXPECT_EQ(s.fakes.loginItems.registrations + s.fakes.loginItems.unregistrations, 3) << "reading calls nothing";
}

namespace {

struct AutostartFile {
    AutostartFile()
        : config(home.path() + QStringLiteral("/config"))
        , pinned("XDG_CONFIG_HOME", QFile::encodeName(config).constData())
    {
        QDir().mkpath(home.path() + QStringLiteral("/bin"));
        const QString path = program();
        test::writeFile(path, "#!/bin/sh\n");
        test::setMode(path, 0755);
    }
    QString program() const { return home.path() + QStringLiteral("/bin/kalvix"); }
    QString entryPath() const { return XdgAutostart::defaultEntryPath(); }
    QByteArray entry() const { return test::readFile(entryPath()); }

    QTemporaryDir home;
    QString config;
    ScopedEnv pinned;
};

} // namespace

// The real autostart entry, as a session reads it at login, through the Settings switch and the keyboard.
TEST(GeneralSection, launchAtLoginTurnsTheRealAutostartEntryOffAndOnAgain)
{
    AutostartFile file;
    ASSERT_EQ(file.entryPath(), file.config + QStringLiteral("/autostart/kalvix.desktop"));
    XdgAutostart autostart(file.entryPath(), file.program(), file.home.path() + QStringLiteral("/bin"));
    ASSERT_TRUE(autostart.registerApp()) << "the first start's registration writes the entry";
    Settings s;
    AppContext context{s.fakes.prefs,
                       s.fakes.time,
                       s.fakes.clock,
                       s.fakes.calendar,
                       s.fakes.worldClocks,
                       s.fakes.countdowns,
                       s.fakes.settingsState,
                       autostart,
                       s.fakes.actions};
    auto view = std::make_unique<SettingsView>(context);
    view->show();
    auto* launch = control<ui::Switch>(view.get(), QStringLiteral("Launch at login"));
    ASSERT_TRUE(launch->isChecked());
    launch->setFocus(Qt::TabFocusReason);

    QTest::keyClick(launch, Qt::Key_Space);
    EXPECT_FALSE(launch->isChecked());
    EXPECT_TRUE(file.entry().contains("\nHidden=true\n")) << file.entry().toStdString();

    QTest::keyClick(launch, Qt::Key_Space);
    EXPECT_TRUE(launch->isChecked());
    EXPECT_FALSE(file.entry().contains("Hidden")) << file.entry().toStdString();
    EXPECT_TRUE(file.entry().contains("\nX-GNOME-Autostart-enabled=true\n"));
    EXPECT_TRUE(file.entry().contains("\nExec=kalvix\n")) << "the program on the session's search path";

    QTest::keyClick(launch, Qt::Key_Space);
    EXPECT_TRUE(file.entry().contains("\nHidden=true\n"));
    // Made again, the window reads the file: off.
    view = std::make_unique<SettingsView>(context);
    view->show();
    launch = control<ui::Switch>(view.get(), QStringLiteral("Launch at login"));
    EXPECT_FALSE(launch->isChecked());
    // The first start's rule never turns the user's "off" back on.
    EXPECT_TRUE(autostart.registerApp());
    EXPECT_TRUE(file.entry().contains("\nHidden=true\n"));

    // A write that fails (a full disk): the switch goes back, a message says so, and the file is as it was.
    const QByteArray before = file.entry();
    autostart.setWriteFault(WriteFault{WriteStep::write, ENOSPC});
    QTest::mouseClick(launch, Qt::LeftButton);
    EXPECT_FALSE(launch->isChecked());
    auto* general = view->findChild<settings::GeneralSection*>();
    EXPECT_TRUE(general->launchAtLoginMessage()->isVisibleTo(view.get()));
    EXPECT_EQ(file.entry(), before);
    autostart.setWriteFault(std::nullopt);
    QTest::mouseClick(launch, Qt::LeftButton);
    EXPECT_TRUE(launch->isChecked());
    EXPECT_FALSE(file.entry().contains("Hidden"));
    EXPECT_FALSE(general->launchAtLoginMessage()->isVisibleTo(view.get()));
}
