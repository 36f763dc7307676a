// Kalvix's entry: command-line modes that need no display, then the status-area application.
#include "app/AgendaChild.h"
#include "app/AppDelegate.h"
#include "app/BuildInfo.h"
#include "app/CommandLine.h"
#include "app/InstanceBus.h"
#include "app/SwitchingStatusItem.h"
#include "app/SystemCalendar.h"
#include "app/SystemContext.h"
#include "app/TitleCache.h"
#include "app/TitlePublisher.h"
#include "calendar/AgendaCommand.h"
#include "clock/ClockModel.h"
#include "context/SettingsState.h"
#include "desktop/XdgDirs.h"
#include "display/DisplayProbe.h"
#include "prefs/Prefs.h"
#include "statusitem/StatusItem.h"
#include "time/TimeSource.h"
#include "ui/ColorScheme.h"
#include "ui/Symbols.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QTextStream>

#include <algorithm>

using namespace kalvix;

namespace {

constexpr int kDesignBodyPixels = 13;

QStringList argumentsOf(int argc, char** argv)
{
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    return args;
}

QTextStream& out()
{
    static QTextStream stream(stdout);
    return stream;
}

QTextStream& err()
{
    static QTextStream stream(stderr);
    return stream;
}

int printTitle(int argc, char** argv, bool follow)
{
    QCoreApplication app(argc, argv);
    ClockModel clock(
        Prefs::standard(), TimeSource::system(), follow ? ClockModel::Timer::start : ClockModel::Timer::none);
    out() << clock.menuBarTitle() << Qt::endl;
    if (!follow)
        return 0;
    QObject::connect(&clock, &ClockModel::menuBarTitleChanged, &app, [](const QString& title) {
        out() << title << Qt::endl;
        if (out().status() != QTextStream::Ok)
            QCoreApplication::exit(0); // the reader went away
    });
    return app.exec();
}

int toggle(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QString error;
    if (!InstanceBus::call(QStringLiteral("TogglePopover"), &error)) {
        err() << "kalvix: cannot toggle the popover: " << error << Qt::endl;
        return 1;
    }
    return 0;
}

int agenda(int argc, char** argv, bool json)
{
    // However the calendars are reached, the command answers within this time: a load leaves out a
    // source that hangs after a few seconds, so these bounds are only met by a machine in trouble.
    constexpr qint64 kAgendaBudgetMs = 15 * 1000;
    constexpr int kInstanceWaitMs = 8 * 1000;
    constexpr qint64 kOwnLoadAtLeastMs = 1000;
    QElapsedTimer spent;
    spent.start();
    // Started before Qt starts any thread (see AgendaChild.h).
    std::optional<AgendaChild> reader = AgendaChild::start([argc, argv, json](int waitMs) mutable {
        QCoreApplication app(argc, argv);
        const auto calendar = createSystemCalendarService(Prefs::standard(), TimeSource::system(), {{}, true});
        QString text;
        QTextStream stream(&text);
        const int status = runAgendaCommand(json, stream, *calendar, TimeSource::system(), waitMs);
        stream.flush();
        return std::pair{text, status};
    });
    QCoreApplication app(argc, argv);
    // A running Kalvix has the calendars loaded already; else they are read here, in parallel.
    if (const auto answer = InstanceBus::callAgenda(json, kInstanceWaitMs)) {
        if (reader)
            reader->dismiss();
        out() << answer->first;
        out().flush();
        return answer->second;
    }
    const int left = static_cast<int>(std::max(kOwnLoadAtLeastMs, kAgendaBudgetMs - spent.elapsed()));
    if (!reader) {
        const auto calendar = createSystemCalendarService(Prefs::standard(), TimeSource::system(), {{}, true});
        return runAgendaCommand(json, out(), *calendar, TimeSource::system(), left);
    }
    const auto answer = reader->read(left);
    if (!answer) {
        err() << "kalvix: the calendars could not be read in time" << Qt::endl;
        return 1;
    }
    out() << answer->first;
    out().flush();
    return answer->second;
}

// The agenda of this instance's calendars, for a `kalvix --agenda` that asks over the bus: at once, or
// when the calendars have loaded.
void answerAgenda(CalendarService& service, bool json, const std::function<void(InstanceBus::AgendaAnswer)>& answer)
{
    auto reply = [&service, json, answer] {
        const AgendaReport report = AgendaReport::of(service.store(), service.access(), TimeSource::system().now());
        answer({json ? report.json() : report.text(), report.exitStatus()});
    };
    if (service.access() != CalendarAccess::notDetermined) {
        reply();
        return;
    }
    auto* once = new QObject(&service);
    QObject::connect(&service, &CalendarService::accessChanged, once, [once, reply] {
        reply();
        once->deleteLater();
    });
}

bool waylandReachable()
{
    const QString socket = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (socket.isEmpty())
        return false;
    return socket.startsWith(u'/') || QFileInfo::exists(qEnvironmentVariable("XDG_RUNTIME_DIR") + u'/' + socket);
}

bool x11Reachable()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") && canConnectToX11Display();
}

// Whether Qt has a platform plugin of this name; Qt aborts on a name it cannot load.
bool platformPluginExists(const QString& name)
{
    QStringList folders = qEnvironmentVariable("QT_QPA_PLATFORM_PLUGIN_PATH").split(u':', Qt::SkipEmptyParts);
    folders << QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms");
    return std::any_of(folders.cbegin(), folders.cend(), [&name](const QString& folder) {
        return QFileInfo::exists(folder + QStringLiteral("/libq") + name + QStringLiteral(".so"));
    });
}

// Whether Qt can open a window here. Without this check Qt aborts with a message about reinstalling.
bool hasDisplay()
{
    const QString chosen = qEnvironmentVariable("QT_QPA_PLATFORM");
    if (chosen.isEmpty())
        return waylandReachable() || x11Reachable();
    // The user's choice of platforms, tried in order by Qt: one that works is enough. Platforms that need
    // no display server (offscreen, vnc, ...) are Qt's to judge.
    for (const QString& platform : chosen.split(u';', Qt::SkipEmptyParts)) {
        const bool needsX11 = platform.startsWith(u"xcb");
        const bool needsWayland = platform.startsWith(u"wayland");
        if ((!needsX11 && !needsWayland && platformPluginExists(platform.section(u':', 0, 0))) ||
            (needsX11 && x11Reachable()) || (needsWayland && waylandReachable()))
            return true;
    }
    return false;
}

// Without a display Kalvix cannot show anything itself, but a running Kalvix may take the request.
int withoutDisplay(int argc, char** argv, const CommandLine& cl)
{
    QCoreApplication app(argc, argv);
    if (cl.openSettings && InstanceBus::call(QStringLiteral("ShowSettings")))
        return 0;
    const QString chosen = qEnvironmentVariable("QT_QPA_PLATFORM");
    if (chosen.isEmpty())
        err() << "kalvix: no display to show the clock on (DISPLAY and WAYLAND_DISPLAY are not set, or the display "
                 "cannot be reached).";
    else
        err() << "kalvix: no display to show the clock on (QT_QPA_PLATFORM=\"" << chosen
              << "\" names no platform Qt has here whose display can be reached).";
    err() << " Without one, kalvix --print-title, --follow and --agenda still work." << Qt::endl;
    return 1;
}

// No display name: Qt would append it to every window title ("Kalvix Settings — Kalvix"), and Kalvix's
// windows name themselves.
void nameApplication()
{
    QApplication::setApplicationName(QStringLiteral("kalvix"));
    QGuiApplication::setDesktopFileName(QStringLiteral("kalvix"));
    QApplication::setQuitOnLastWindowClosed(false);
    // Qt takes the direction from a translation, and Kalvix has none: Arabic or Hebrew users get their
    // windows mirrored from the locale itself.
    QGuiApplication::setLayoutDirection(QLocale().textDirection());
}

// --snapshot DIR: a one-shot render, not a second status item. It shows no item and leaves the session's
// instance name alone, so it works beside a running Kalvix, and it needs no display: without a platform
// chosen it draws with the offscreen one, with Kalvix's own symbols (there is no desktop theme to match).
int runSnapshot(int argc, char** argv, const QStringList& arguments, const CommandLine& cl)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!hasDisplay())
        return withoutDisplay(argc, argv, cl);
    QApplication app(argc, argv);
    releaseDisplayProbe(); // Qt holds its own connection now
    nameApplication();
    if (QGuiApplication::platformName() == u"offscreen") {
        ui::setPreferOwnSymbols(true);
        // Nor is there a desktop font: the UI family at the design's own body size.
        QFont font = QGuiApplication::font();
        font.setPixelSize(kDesignBodyPixels);
        QApplication::setFont(font);
    }
    ui::DesktopColorScheme colorScheme;
    SystemContext systemContext;
    AppDelegate appDelegate(arguments, systemContext.context(), [] { return std::unique_ptr<StatusItem>(); });
    appDelegate.applicationDidFinishLaunching();
    return app.exec();
}

// Under Wayland with XWayland, X11 lets Kalvix put the popover exactly under its item; Wayland alone does
// not. A QT_QPA_PLATFORM of the user's own is kept. True when the choice was Kalvix's.
bool preferXWayland()
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !waylandReachable() || !x11Reachable())
        return false;
    qputenv("QT_QPA_PLATFORM", "xcb");
    return true;
}

// On Wayland alone, Qt asks whether it may draw window frames itself before it shows any window, even
// a frameless one, and to answer it brings up EGL: Mesa's drivers and LLVM, about 50 MB of resident
// memory for a program that paints only with the CPU. sway draws the frames of every window itself
// (xdg-decoration), so Qt's own frames would never be used there: Kalvix tells Qt so, unless the user
// has said otherwise. Qt reads the setting when it shows the first window, so it stays set, and programs
// Kalvix starts on sway inherit it: sway draws their frames as well. Elsewhere the frames may be Qt's to
// draw, and the memory is the price of them.
void spareClientFramesOnSway()
{
    // Where Kalvix chose XWayland, QT_QPA_PLATFORM names xcb by now.
    const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    const bool onWayland = (platform.isEmpty() || platform.startsWith(u"wayland")) && waylandReachable();
    const QString sway = qEnvironmentVariable("SWAYSOCK");
    if (!onWayland || sway.isEmpty() || !QFileInfo::exists(sway) ||
        qEnvironmentVariableIsSet("QT_WAYLAND_DISABLE_WINDOWDECORATION"))
        return;
    qputenv("QT_WAYLAND_DISABLE_WINDOWDECORATION", "1");
}

int runStatusItem(int argc, char** argv, const QStringList& arguments, const CommandLine& cl)
{
    const bool choseXWayland = preferXWayland();
    spareClientFramesOnSway();
    QApplication app(argc, argv);
    releaseDisplayProbe(); // Qt holds its own connection now
    if (choseXWayland)
        qunsetenv("QT_QPA_PLATFORM"); // programs Kalvix starts choose for themselves
    nameApplication();
    ui::DesktopColorScheme colorScheme;

    AppDelegate* delegate = nullptr;
    SystemContext* system = nullptr;
    InstanceBus instance({[&] {
                              if (delegate)
                                  delegate->togglePopover();
                          },
                          [&] {
                              if (delegate)
                                  delegate->openSettings(SettingsTab::general);
                          },
                          [&] { return system ? system->context().clock.menuBarTitle() : QString(); },
                          [&](bool json, const std::function<void(InstanceBus::AgendaAnswer)>& answer) {
                              // The bus is served from app.exec(), when the context exists.
                              if (system)
                                  answerAgenda(system->context().calendar, json, answer);
                          }});
    if (!instance.claim()) {
        if (QDBusConnection::sessionBus().isConnected()) {
            // Another Kalvix owns the session: hand it the request and leave its item alone.
            if (cl.openSettings)
                return InstanceBus::call(QStringLiteral("ShowSettings")) ? 0 : 1;
            err() << "kalvix: already running (use --toggle or --open-settings to talk to it)" << Qt::endl;
            return 0;
        }
        err() << "kalvix: no session bus: the clock can only dock into an X11 tray, and --toggle and a second "
                 "kalvix cannot reach this one"
              << Qt::endl;
    }

    SystemContext systemContext;
    system = &systemContext;
    AppDelegate appDelegate(arguments, systemContext.context(), [] { return SwitchingStatusItem::forSession(); });
    delegate = &appDelegate;
    appDelegate.applicationDidFinishLaunching();
    // The title where `kalvix --print-title` finds it without starting a program (only for the one
    // instance of the session: another that could not claim the bus must not overwrite it).
    std::unique_ptr<TitlePublisher> titleFile;
    if (instance.isClaimed())
        titleFile = std::make_unique<TitlePublisher>(systemContext.context().clock, titlecache::path());
    return app.exec();
}

} // namespace

int main(int argc, char** argv)
{
    const QStringList arguments = argumentsOf(argc, argv);
    const CommandLine cl = CommandLine::parse(arguments);
    for (const QString& a : cl.unrecognised)
        err() << "kalvix: unrecognised argument '" << a << "' (ignored; see kalvix --help)" << Qt::endl;

    if (cl.help) {
        out() << CommandLine::usage();
        return 0;
    }
    if (cl.version) {
        out() << CommandLine::versionText(QStringLiteral(KALVIX_VERSION), BuildInfo::commit(), BuildInfo::modified())
              << Qt::endl;
        return 0;
    }
    if (cl.json && !cl.agenda)
        err() << "kalvix: --json only applies to --agenda (ignored)" << Qt::endl;
    if (cl.agenda)
        return agenda(argc, argv, cl.json);
    if (cl.printTitle || cl.follow)
        return printTitle(argc, argv, cl.follow);
    if (cl.toggle)
        return toggle(argc, argv);
    if (!cl.snapshotFolder && !hasDisplay()) // a snapshot draws offscreen when there is none
        return withoutDisplay(argc, argv, cl);
    if (!homeDir()) {
        // Settings and the autostart entry would have nowhere to live, and a clock whose settings cannot be
        // kept would lose every change the user makes.
        const QString home = qEnvironmentVariable("HOME");
        const QString why = home.isEmpty() ? QStringLiteral("HOME is not set")
                                           : QStringLiteral("HOME is \"%1\", which cannot be a home").arg(home);
        err() << "kalvix: no home folder (" << why
              << " and the user account names none): Kalvix cannot keep its settings. kalvix --print-title, "
                 "--follow and --agenda still work."
              << Qt::endl;
        return 1;
    }
    if (cl.snapshotFolder)
        return runSnapshot(argc, argv, arguments, cl);
    return runStatusItem(argc, argv, arguments, cl);
}
