#include "app/CalendarAppLauncher.h"

#include "desktop/CommandRunner.h"
#include "prefs/PreferencesStore.h"
#include "prefs/Prefs.h"

#include <QCoreApplication>
#include <QDate>
#include <QThreadPool>

#include <clocale>
#include <ctime>
#include <langinfo.h>
#include <locale.h>

namespace kalvix::CalendarAppLauncher {
namespace {

const QString kCalendarMimeType = QStringLiteral("text/calendar");

enum class KnownApp { gnomeCalendar, evolution, other };

KnownApp knownApp(const DesktopEntry& app)
{
    const QString id = app.id.chopped(app.id.endsWith(QStringLiteral(".desktop")) ? 8 : 0).toLower();
    const QString program = app.programName();
    if (id == u"org.gnome.calendar" || id == u"gnome-calendar" || program == u"gnome-calendar")
        return KnownApp::gnomeCalendar;
    if (id == u"org.gnome.evolution" || id == u"evolution" || program == u"evolution")
        return KnownApp::evolution;
    return KnownApp::other;
}

void startDetached(const Environment& env, const QStringList& command, const QString& workingDirectory)
{
    if (env.startDetached)
        env.startDetached(command, workingDirectory); // the outcome is ignored
    else
        kalvix::startDetached(command, workingDirectory);
}

void postToMain(const Environment& env, std::function<void()> work)
{
    if (env.postToMain) {
        env.postToMain(std::move(work));
        return;
    }
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return; // no main loop to run it on
    QMetaObject::invokeMethod(app, std::move(work), Qt::QueuedConnection);
}

void tell(const Environment& env, const CalendarAppReply& reply, CalendarAppOutcome outcome)
{
    if (reply)
        postToMain(env, [reply, outcome] { reply(outcome); });
}

void launchPlain(const Environment& env, const CalendarAppReply& reply)
{
    const std::optional<DesktopEntry> app = calendarApp(env);
    const std::optional<QStringList> command = app ? app->command() : std::nullopt;
    if (!command) {
        tell(env, reply, CalendarAppOutcome::none);
        return;
    }
    tell(env, reply, CalendarAppOutcome::opening);
    startDetached(env, *command, app->workingDirectory);
}

void runInBackground(const Environment& env, std::function<void()> work)
{
    if (env.runInBackground)
        env.runInBackground(std::move(work));
    else
        QThreadPool::globalInstance()->start(std::move(work));
}

void postPlainOpen(const Environment& env, const CalendarAppReply& reply)
{
    postToMain(env, [env, reply] { open(env, reply); });
}

void runDayCommand(const Environment& env, const QStringList& command, const QString& workingDirectory)
{
    const RunOutcome outcome = env.runAndWait ? env.runAndWait(command, workingDirectory, env.settleTime)
                                              : kalvix::runAndWait(command, workingDirectory, env.settleTime);
    // Opening was told when the command started; a missing application is not news then.
    if (outcome == RunOutcome::failedToStart || outcome == RunOutcome::exitedWithFailure)
        postPlainOpen(env, {});
}

// Runs on a pool thread.
void showDay(const Environment& env,
             CivilDate date,
             const QString& commandTemplate,
             const QByteArray& timeLocale,
             const CalendarAppReply& reply)
{
    if (!commandTemplate.trimmed().isEmpty()) {
        if (const std::optional<QStringList> command = userDayCommand(commandTemplate, date)) {
            tell(env, reply, CalendarAppOutcome::opening);
            runDayCommand(env, *command, QString());
        } else { // a template that cannot be split is a day command that failed
            postPlainOpen(env, reply);
        }
        return;
    }
    const std::optional<DesktopEntry> app = calendarApp(env);
    if (!app || !app->command()) {
        tell(env, reply, CalendarAppOutcome::none);
        return;
    }
    tell(env, reply, CalendarAppOutcome::opening);
    if (const std::optional<QStringList> command = appDayCommand(*app, date, timeLocale))
        runDayCommand(env, *command, app->workingDirectory);
    else if (const std::optional<QStringList> plain = app->command()) // no way to show a day
        startDetached(env, *plain, app->workingDirectory);
}

QString twoDigits(int n)
{
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

} // namespace

Environment Environment::standard(PreferencesStore* preferences)
{
    Environment env;
    env.calendarAppId = [] { return defaultApplication(kCalendarMimeType); };
    env.applicationDirs = [] { return kalvix::applicationDirs(); };
    env.preferences = preferences;
    return env;
}

void open(Instant day, const Environment& env, CalendarAppReply reply)
{
    const std::optional<CivilDate> date = CivilCalendar::current().dateOf(day);
    if (!date)
        return;
    const QString commandTemplate = userCommandTemplate(env);
    const QByteArray timeLocale = timeLocaleName();
    runInBackground(env, [env, date = *date, commandTemplate, timeLocale, reply = std::move(reply)] {
        showDay(env, date, commandTemplate, timeLocale, reply);
    });
}

void open(const Environment& env, CalendarAppReply reply)
{
    runInBackground(env, [env, reply = std::move(reply)] { launchPlain(env, reply); });
}

std::optional<DesktopEntry> calendarApp(const Environment& env)
{
    if (!env.calendarAppId || !env.applicationDirs)
        return std::nullopt;
    const std::optional<QString> id = env.calendarAppId();
    if (!id)
        return std::nullopt;
    const QString path = findDesktopFile(*id, env.applicationDirs());
    if (path.isEmpty())
        return std::nullopt;
    return DesktopEntry::load(path, *id);
}

QString userCommandTemplate(const Environment& env)
{
    if (!env.preferences)
        return {};
    // As typed: quotes around a program path with blanks are the command's, and reach the splitter.
    return env.preferences->value(Pref::calendarDayCommand).value_or(QString());
}

std::optional<QStringList> userDayCommand(const QString& commandTemplate, CivilDate date)
{
    const std::optional<QStringList> arguments = splitArguments(commandTemplate);
    if (!arguments || arguments->isEmpty())
        return std::nullopt;
    const QString isoDate = QStringLiteral("%1-%2-%3")
                                .arg(date.year, 4, 10, QLatin1Char('0'))
                                .arg(twoDigits(date.month), twoDigits(date.day));
    const QStringList command = expandPlaceholders(*arguments,
                                                   {
                                                       {QStringLiteral("{date}"), isoDate},
                                                       {QStringLiteral("{year}"), QString::number(date.year)},
                                                       {QStringLiteral("{month}"), QString::number(date.month)},
                                                       {QStringLiteral("{day}"), QString::number(date.day)},
                                                   });
    if (command.first().isEmpty())
        return std::nullopt;
    return command;
}

QStringList expandPlaceholders(const QStringList& arguments, const QList<std::pair<QString, QString>>& values)
{
    QStringList out;
    out.reserve(arguments.size());
    for (const QString& arg : arguments) {
        QString expanded;
        qsizetype i = 0;
        while (i < arg.size()) {
            bool replaced = false;
            for (const auto& [name, value] : values) {
                if (QStringView(arg).mid(i).startsWith(name)) {
                    expanded += value;
                    i += name.size();
                    replaced = true;
                    break;
                }
            }
            if (!replaced)
                expanded += arg[i++];
        }
        out += expanded;
    }
    return out;
}

std::optional<QStringList> appDayCommand(const DesktopEntry& app, CivilDate date, const QByteArray& timeLocale)
{
    switch (knownApp(app)) {
    case KnownApp::gnomeCalendar: {
        // GNOME Calendar reads --date with GLib's g_date_set_parse, which follows the locale's date order
        // and rejects ISO dates.
        const std::optional<QString> text = localeDateText(date, timeLocale);
        if (!text)
            return std::nullopt;
        return app.commandWithOptions({QStringLiteral("--date"), *text});
    }
    case KnownApp::evolution: {
        const QString uri = QStringLiteral("calendar:///?startdate=%1%2%3")
                                .arg(date.year, 4, 10, QLatin1Char('0'))
                                .arg(twoDigits(date.month), twoDigits(date.day));
        return app.command({uri});
    }
    case KnownApp::other:
        break;
    }
    return std::nullopt;
}

std::optional<QString> localeDateText(CivilDate date, const QByteArray& timeLocale)
{
    if (date.year < 100 || !QDate::isValid(date.year, date.month, date.day))
        return std::nullopt;
    locale_t loc = ::newlocale(LC_TIME_MASK, timeLocale.constData(), locale_t{});
    if (!loc)
        loc = ::newlocale(LC_TIME_MASK, "C", locale_t{});
    if (!loc)
        return std::nullopt;
    QByteArray format = ::nl_langinfo_l(D_FMT, loc);
    format.replace("%D", "%m/%d/%Y");
    format.replace("%y", "%Y");
    const QDate qdate(date.year, date.month, date.day);
    std::tm tm{};
    tm.tm_year = date.year - 1900;
    tm.tm_mon = date.month - 1;
    tm.tm_mday = date.day;
    tm.tm_wday = qdate.dayOfWeek() % 7;
    tm.tm_yday = qdate.dayOfYear() - 1;
    tm.tm_isdst = -1;
    char buffer[128];
    const size_t length = ::strftime_l(buffer, sizeof buffer, format.constData(), &tm, loc);
    ::freelocale(loc);
    if (length == 0)
        return std::nullopt;
    return QString::fromLocal8Bit(buffer, static_cast<qsizetype>(length));
}

QByteArray timeLocaleName()
{
    for (const char* name : {"LC_ALL", "LC_TIME", "LANG"}) {
        const QByteArray value = qgetenv(name);
        if (!value.isEmpty())
            return value;
    }
    return QByteArrayLiteral("C");
}

} // namespace kalvix::CalendarAppLauncher
