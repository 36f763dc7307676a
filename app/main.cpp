// Kalvix's entry: command-line modes that need no display, then the status-area application.
#include "app/AppDelegate.h"
#include "app/CommandLine.h"
#include "app/InstanceBus.h"
#include "app/SettingsOpener.h"
#include "app/SystemCalendar.h"
#include "calendar/AgendaCommand.h"
#include "clock/ClockModel.h"
#include "platform/LoginItems.h"
#include "platform/PreferencesStore.h"
#include "platform/StatusItem.h"
#include "platform/TimeSource.h"
#include "prefs/Prefs.h"
#include "prefs/SettingsState.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QTextStream>

#include <memory>

using namespace kalvix;

namespace {

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
        out() << "kalvix " << KALVIX_VERSION << Qt::endl;
        return 0;
    }
    if (cl.json && !cl.agenda)
        err() << "kalvix: --json only applies to --agenda (ignored)" << Qt::endl;
    if (cl.agenda) {
        QCoreApplication app(argc, argv);
        const auto calendar = createSystemCalendarService(Prefs::standard(), TimeSource::system());
        return runAgendaCommand(cl.json, out(), *calendar, TimeSource::system());
    }
    if (cl.printTitle || cl.follow)
        return printTitle(argc, argv, cl.follow);
    if (cl.toggle)
        return toggle(argc, argv);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kalvix"));
    QApplication::setApplicationDisplayName(QStringLiteral("Kalvix"));
    QGuiApplication::setDesktopFileName(QStringLiteral("kalvix"));
    QApplication::setQuitOnLastWindowClosed(false);

    AppDelegate* delegate = nullptr;
    const auto openSettings = [] { SettingsOpener::open(SettingsTab::general); };
    InstanceBus instance({[&] {
                              if (delegate)
                                  delegate->togglePopover();
                          },
                          openSettings,
                          [] { return AppDelegate::clock().menuBarTitle(); }});
    if (!instance.claim() && QDBusConnection::sessionBus().isConnected()) {
        // Another Kalvix owns the session: hand it the request and leave its item alone.
        if (cl.openSettings)
            return InstanceBus::call(QStringLiteral("ShowSettings")) ? 0 : 1;
        err() << "kalvix: already running (use --toggle or --open-settings to talk to it)" << Qt::endl;
        return 0;
    }

    XdgAutostart autostart(XdgAutostart::defaultEntryPath(), QCoreApplication::applicationFilePath());
    AppDelegate appDelegate(
        arguments,
        AppDelegate::Services{Prefs::standard(), autostart, [] { return StatusItem::create(); }, openSettings});
    delegate = &appDelegate;
    appDelegate.applicationDidFinishLaunching();
    return app.exec();
}
