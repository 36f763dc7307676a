#pragma once
// Brings the user's calendar application to the front, plainly or showing a given day.
//
// The calendar application is the desktop entry that handles text/calendar. To show a day Kalvix uses, in
// this order: the user's own command (the calendarDayCommand preference), else the application's own way
// to open at a date where Kalvix knows one (GNOME Calendar, Evolution), else the plain launch. When the
// day-showing command cannot be started or exits with a failure status, the plain launch runs instead.
// The reply hears, on the main thread, whether something is being opened or no calendar application is
// installed (also when its entry has no command to run), so the popover can say so; a failure of the
// program once started is not reported.
//
// calendarDayCommand is a command line split into arguments like a shell would quote it, but never run
// through one. After splitting, these placeholders are replaced inside each argument, so a value can never
// become a second argument or a command:
//   {date}   the day as YYYY-MM-DD (year zero-padded to four digits, "0987-01-31")
//   {year}   the year in plain decimal, without leading zeros ("987")
//   {month}  the month 1 to 12, {day} the day of the month, without leading zeros
// The day is the year, month and day of the chosen instant in the system time zone.
//
// Threads: both entry points are called on the main thread and return at once. Finding the application
// (xdg-mime can take a second) and waiting for the day command run off it (Environment::runInBackground);
// the fallback to the plain launch is posted back to the main thread (Environment::postToMain).
#include "context/AppContext.h"
#include "desktop/CommandRunner.h"
#include "desktop/DesktopEntry.h"
#include "time/CivilCalendar.h"
#include "time/Instant.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <optional>

namespace kalvix {

class PreferencesStore;

namespace CalendarAppLauncher {

// Where the launcher looks. standard() is the desktop's: xdg-mime, the XDG data folders and the given
// preferences; tests build their own.
struct Environment {
    // The desktop file id of the calendar application; called off the main thread.
    std::function<std::optional<QString>()> calendarAppId;
    std::function<QStringList()> applicationDirs;
    // Read on the main thread only. May be null: then there is no user command.
    PreferencesStore* preferences = nullptr;
    // A day command still running after this long counts as having succeeded (a GUI application that
    // stays open); one that ends earlier is judged by its exit status.
    std::chrono::milliseconds settleTime{3000};

    // How work leaves the main thread and comes back to it, and how programs are started. The defaults are
    // the global thread pool, a queued call on the application object, kalvix::runAndWait and
    // kalvix::startDetached; tests run everything in order on their own thread.
    std::function<void(std::function<void()>)> runInBackground;
    std::function<void(std::function<void()>)> postToMain;
    std::function<RunOutcome(const QStringList&, const QString&, std::chrono::milliseconds)> runAndWait;
    std::function<bool(const QStringList&, const QString&)> startDetached;

    static Environment standard(PreferencesStore* preferences);
};

void open(Instant day, const Environment& env, CalendarAppReply reply = {});
void open(const Environment& env, CalendarAppReply reply = {});

// The pieces of the decision, for tests.

// The calendar application's entry, or nothing. Blocks (runs the id lookup).
std::optional<DesktopEntry> calendarApp(const Environment& env);

// The calendarDayCommand preference as the user typed it; empty when there is none.
QString userCommandTemplate(const Environment& env);

// The user's command for `date`, or nothing when the template is blank or its quoting is unbalanced.
std::optional<QStringList> userDayCommand(const QString& commandTemplate, CivilDate date);

// Replaces the placeholders in each argument; values are inserted literally and never rescanned.
QStringList expandPlaceholders(const QStringList& arguments, const QList<std::pair<QString, QString>>& values);

// The application's own command to show `date`, or nothing when it has none (or cannot be told this
// date). `timeLocale` is the locale the application will format dates in (see timeLocaleName()).
std::optional<QStringList> appDayCommand(const DesktopEntry& app, CivilDate date, const QByteArray& timeLocale);

// The date in the locale's short date form (strftime %x), but always with the full year: the two-digit
// years of en_GB or C would turn 987 into 1987. Nothing for years below 100, which GLib-based applications
// read as 20xx whatever the digits. An unknown locale formats as C, as the application itself would.
std::optional<QString> localeDateText(CivilDate date, const QByteArray& timeLocale);

// The locale name that governs date formats in programs Kalvix starts: LC_ALL, else LC_TIME, else LANG,
// else "C".
QByteArray timeLocaleName();

} // namespace CalendarAppLauncher
} // namespace kalvix
