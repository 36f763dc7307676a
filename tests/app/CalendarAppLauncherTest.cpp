#include "app/CalendarAppLauncher.h"
#include "desktop/CommandRunner.h"
#include "prefs/IniPreferencesStore.h"
#include "prefs/Prefs.h"
#include "tests/support/MemoryPreferencesStore.h"
#include "tests/support/TestEnv.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "tests/support/TestApplication.h"

#include <gtest/gtest.h>

using namespace kalvix;
using kalvix::test::MemoryPreferencesStore;
using kalvix::test::ScopedEnv;
using kalvix::test::utcSeconds;
using namespace std::chrono_literals;
namespace Launcher = kalvix::CalendarAppLauncher;

namespace {

QStringList args(const std::vector<const char*>& items)
{
    QStringList out;
    for (const char* item : items)
        out += QString::fromUtf8(item);
    return out;
}

QCoreApplication& app()
{
    return test::testApplication();
}

// A value for Exec: quoted for the Exec rules, then escaped once more as a desktop-entry string value.
QByteArray execQuoted(const QString& text)
{
    QString quoted;
    for (QChar c : text) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        quoted += c;
    }
    QString value = u'"' + quoted + u'"';
    return value.replace(u'\\', QStringLiteral("\\\\")).toUtf8();
}

// A folder of applications holding one stand-in calendar application, and the environment that finds it.
class StandIn {
public:
    // `exec` follows the program and log path, e.g. "ok %U". With a `scriptFolder` the stand-in is copied
    // into that sub-folder and started from there.
    StandIn(const QString& id, const QString& exec, const QString& scriptFolder = QString())
    {
        app();
        const QString apps = m_dir.path() + QStringLiteral("/apps");
        QDir().mkpath(apps);
        m_log = m_dir.path() + QStringLiteral("/log");
        QString script = QStringLiteral(KALVIX_STANDIN_CALENDAR);
        if (!scriptFolder.isEmpty()) {
            QDir().mkpath(m_dir.path() + u'/' + scriptFolder);
            const QString copy = m_dir.path() + u'/' + scriptFolder + QStringLiteral("/standin-calendar.sh");
            EXPECT_TRUE(QFile::copy(script, copy));
            script = copy;
        }
        QFile entry(apps + u'/' + id);
        EXPECT_TRUE(entry.open(QIODevice::WriteOnly));
        entry.write("[Desktop Entry]\nType=Application\nName=Stand-in\nMimeType=text/calendar;\nExec=" +
                    execQuoted(script) + ' ' + execQuoted(m_log) + ' ' + exec.toUtf8() + '\n');
        entry.close();
        m_env.calendarAppId = [id] { return std::optional<QString>(id); };
        m_env.applicationDirs = [apps] { return QStringList{apps}; };
        m_env.preferences = &m_prefs;
        // Everything runs in order on the test's thread: a started program is waited for (it only logs
        // its arguments and ends), and the fallbacks posted to the main thread wait in a queue the test runs.
        m_env.runInBackground = [](const std::function<void()>& work) { work(); };
        m_env.postToMain = [this](std::function<void()> work) { m_posted.push_back(std::move(work)); };
        m_env.startDetached = [](const QStringList& command, const QString& workingDirectory) {
            return runAndWait(command, workingDirectory, 10s) != RunOutcome::failedToStart;
        };
    }

    const Launcher::Environment& env() const { return m_env; }
    Launcher::Environment& env() { return m_env; }
    MemoryPreferencesStore& prefs() { return m_prefs; }
    QString folder() const { return m_dir.path(); }

    // The argument lists of every start of the stand-in so far, after the fallbacks posted back to the main
    // thread have run.
    QList<QStringList> launches()
    {
        while (!m_posted.empty()) {
            const auto work = std::move(m_posted.front());
            m_posted.erase(m_posted.begin());
            work();
        }
        return read();
    }

private:
    QList<QStringList> read() const
    {
        QFile f(m_log);
        QList<QStringList> out;
        if (!f.open(QIODevice::ReadOnly))
            return out;
        QStringList current;
        for (const QByteArray& line : f.readAll().split('\n')) {
            if (line == "--end--") {
                out += current;
                current.clear();
            } else if (!line.isEmpty()) {
                current += QString::fromUtf8(line);
            }
        }
        return out;
    }

    QTemporaryDir m_dir;
    QString m_log;
    MemoryPreferencesStore m_prefs;
    Launcher::Environment m_env;
    std::vector<std::function<void()>> m_posted;
};

struct DayRow {
    const char* name;
    const char* zone;
    double instant;
    const char* gnomeDate; // en_GB short date with the full year
    const char* evolutionUri;
    const char* userArgs; // "{date} {year} {month} {day}"
};

void PrintTo(const DayRow& row, std::ostream* os)
{
    *os << row.name;
}

class ShowsTheChosenDay : public ::testing::TestWithParam<DayRow> {};

TEST_P(ShowsTheChosenDay, inEveryWayOfShowingADay)
{
    const DayRow& row = GetParam();
    ScopedEnv tz("TZ", row.zone);
    const Instant day{row.instant};

    StandIn gnome(QStringLiteral("org.gnome.Calendar.desktop"), QStringLiteral("ok %U"));
    Launcher::open(day, gnome.env());
    EXPECT_EQ(gnome.launches(), QList<QStringList>{args({"--date", row.gnomeDate})});

    StandIn evolution(QStringLiteral("org.gnome.Evolution.desktop"), QStringLiteral("ok %U"));
    Launcher::open(day, evolution.env());
    EXPECT_EQ(evolution.launches(), QList<QStringList>{args({row.evolutionUri})});

    StandIn own(QStringLiteral("org.kde.korganizer.desktop"), QStringLiteral("ok %U"));
    own.prefs().set(Pref::calendarDayCommand,
                    u'"' + QStringLiteral(KALVIX_STANDIN_CALENDAR) + QStringLiteral("\" \"") + own.folder() +
                        QStringLiteral("/log\" ok {date} {year} {month} {day}"));
    Launcher::open(day, own.env());
    EXPECT_EQ(own.launches(), QList<QStringList>{QString::fromUtf8(row.userArgs).split(u' ')});
}

INSTANTIATE_TEST_SUITE_P(Rows,
                         ShowsTheChosenDay,
                         ::testing::Values(DayRow{"january_31",
                                                  "Europe/London",
                                                  utcSeconds(2024, 1, 31, 12),
                                                  "31/01/2024",
                                                  "calendar:///?startdate=20240131",
                                                  "2024-01-31 2024 1 31"},
                                           DayRow{"leap_day",
                                                  "Europe/London",
                                                  utcSeconds(2024, 2, 29, 12),
                                                  "29/02/2024",
                                                  "calendar:///?startdate=20240229",
                                                  "2024-02-29 2024 2 29"},
                                           DayRow{"year_987",
                                                  "Europe/London",
                                                  utcSeconds(987, 1, 31, 12),
                                                  "31/01/987",
                                                  "calendar:///?startdate=09870131",
                                                  "0987-01-31 987 1 31"},
                                           DayRow{"auckland_just_after_local_midnight",
                                                  "Pacific/Auckland",
                                                  utcSeconds(2024, 1, 31, 11, 30),
                                                  "01/02/2024",
                                                  "calendar:///?startdate=20240201",
                                                  "2024-02-01 2024 2 1"},
                                           DayRow{"honolulu_leap_day_evening",
                                                  "Pacific/Honolulu",
                                                  utcSeconds(2024, 3, 1, 9),
                                                  "29/02/2024",
                                                  "calendar:///?startdate=20240229",
                                                  "2024-02-29 2024 2 29"},
                                           DayRow{"kathmandu_new_year",
                                                  "Asia/Kathmandu",
                                                  utcSeconds(2024, 12, 31, 18, 20),
                                                  "01/01/2025",
                                                  "calendar:///?startdate=20250101",
                                                  "2025-01-01 2025 1 1"},
                                           DayRow{"london_spring_forward_night",
                                                  "Europe/London",
                                                  utcSeconds(2024, 3, 31, 0, 30),
                                                  "31/03/2024",
                                                  "calendar:///?startdate=20240331",
                                                  "2024-03-31 2024 3 31"},
                                           DayRow{"london_fall_back_second_one_am",
                                                  "Europe/London",
                                                  utcSeconds(2024, 10, 27, 1, 30),
                                                  "27/10/2024",
                                                  "calendar:///?startdate=20241027",
                                                  "2024-10-27 2024 10 27"}),
                         [](const auto& row) { return std::string(row.param.name); });

struct LocaleRow {
    const char* name;
    const char* locale;
    int year, month, day;
    std::optional<QString> text;
};

void PrintTo(const LocaleRow& row, std::ostream* os)
{
    *os << row.name;
}

class LocaleDateText : public ::testing::TestWithParam<LocaleRow> {};

TEST_P(LocaleDateText, isTheShortDateWithTheFullYear)
{
    const LocaleRow& row = GetParam();
    EXPECT_EQ(Launcher::localeDateText(CivilDate{row.year, row.month, row.day}, row.locale), row.text);
}

INSTANTIATE_TEST_SUITE_P(
    Rows,
    LocaleDateText,
    ::testing::Values(LocaleRow{"british", "en_GB.UTF-8", 2024, 1, 31, QStringLiteral("31/01/2024")},
                      LocaleRow{"american", "en_US.UTF-8", 2024, 1, 31, QStringLiteral("01/31/2024")},
                      LocaleRow{"german", "de_DE.UTF-8", 2024, 2, 29, QStringLiteral("29.02.2024")},
                      LocaleRow{"japanese", "ja_JP.UTF-8", 2024, 2, 29, QStringLiteral("2024年02月29日")},
                      LocaleRow{"c_locale_two_digit_year_widened", "C", 1987, 1, 31, QStringLiteral("01/31/1987")},
                      LocaleRow{"unknown_locale_as_c", "xx_YY.UTF-8", 2024, 1, 31, QStringLiteral("01/31/2024")},
                      LocaleRow{"three_digit_year", "en_GB.UTF-8", 987, 1, 31, QStringLiteral("31/01/987")},
                      LocaleRow{"two_digit_year_cannot_be_told", "en_GB.UTF-8", 12, 1, 31, std::nullopt},
                      LocaleRow{"invalid_date", "en_GB.UTF-8", 2023, 2, 29, std::nullopt}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(CalendarAppLauncher, timeLocaleFollowsPosixPrecedence)
{
    ScopedEnv all("LC_ALL", nullptr);
    ScopedEnv time("LC_TIME", "de_DE.UTF-8");
    ScopedEnv lang("LANG", "en_US.UTF-8");
    EXPECT_EQ(Launcher::timeLocaleName(), QByteArray("de_DE.UTF-8"));
    {
        ScopedEnv override("LC_ALL", "ja_JP.UTF-8");
        EXPECT_EQ(Launcher::timeLocaleName(), QByteArray("ja_JP.UTF-8"));
    }
    ScopedEnv noTime("LC_TIME", nullptr);
    EXPECT_EQ(Launcher::timeLocaleName(), QByteArray("en_US.UTF-8"));
    ScopedEnv noLang("LANG", nullptr);
    EXPECT_EQ(Launcher::timeLocaleName(), QByteArray("C"));
}

TEST(CalendarAppLauncher, quotesInTheFileReachTheSplitter)
{
    app();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("kalvix.conf"));
    Launcher::Environment env;
    const CivilDate day{2024, 1, 31};
    const QList<std::pair<QByteArray, QStringList>> rows{
        {"calendarDayCommand=\"/opt/My Calendar/cal\"", args({"/opt/My Calendar/cal"})},
        {"calendarDayCommand = '/opt/My Calendar/cal' --day {date}",
         args({"/opt/My Calendar/cal", "--day", "2024-01-31"})},
        {"calendarDayCommand=/opt/My\\ Calendar/cal \"{day}\"", args({"/opt/My Calendar/cal", "31"})},
    };
    for (const auto& [line, expected] : rows) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("[General]\r\n" + line + "\r\n");
        file.close();
        IniPreferencesStore prefs(path);
        env.preferences = &prefs;
        EXPECT_EQ(Launcher::userDayCommand(Launcher::userCommandTemplate(env), day), expected) << line.toStdString();
    }
    env.preferences = nullptr;
    EXPECT_TRUE(Launcher::userCommandTemplate(env).isEmpty());
}

TEST(CalendarAppLauncher, failingDayCommandFallsBackToThePlainLaunch)
{
    const Instant day{utcSeconds(2024, 1, 31, 12)};
    StandIn refusing(QStringLiteral("org.gnome.Calendar.desktop"), QStringLiteral("fail-on-day %U"));
    Launcher::open(day, refusing.env());
    EXPECT_EQ(refusing.launches(), (QList<QStringList>{args({"--date", "31/01/2024"}), QStringList()}));

    StandIn missing(QStringLiteral("org.gnome.Calendar.desktop"), QStringLiteral("ok %U"));
    missing.prefs().set(Pref::calendarDayCommand, QStringLiteral("kalvix-no-such-calendar --show {date}"));
    Launcher::open(day, missing.env());
    EXPECT_EQ(missing.launches(), QList<QStringList>{QStringList()});

    StandIn unbalanced(QStringLiteral("org.gnome.Calendar.desktop"), QStringLiteral("ok %U"));
    unbalanced.prefs().set(Pref::calendarDayCommand, QStringLiteral("\"mycal --show {date}"));
    Launcher::open(day, unbalanced.env());
    EXPECT_EQ(unbalanced.launches(), QList<QStringList>{QStringList()});
}

TEST(CalendarAppLauncher, applicationWithoutAWayToShowADayIsLaunchedPlainly)
{
    StandIn korganizer(QStringLiteral("org.kde.korganizer.desktop"), QStringLiteral("ok %U"));
    Launcher::open(Instant{utcSeconds(2024, 1, 31, 12)}, korganizer.env());
    EXPECT_EQ(korganizer.launches(), QList<QStringList>{QStringList()});

    Launcher::open(korganizer.env());
    EXPECT_EQ(korganizer.launches(), (QList<QStringList>{QStringList(), QStringList()}));
}

TEST(CalendarAppLauncher, withoutACalendarApplicationNothingHappens)
{
    const Instant day{utcSeconds(2024, 1, 31, 12)};
    StandIn standIn(QStringLiteral("org.gnome.Calendar.desktop"), QStringLiteral("ok %U"));

    Launcher::Environment none = standIn.env();
    none.calendarAppId = [] { return std::optional<QString>(); };
    Launcher::Environment unknownId = standIn.env();
    unknownId.calendarAppId = [] { return std::optional<QString>(QStringLiteral("gone.desktop")); };
    Launcher::Environment empty;
    for (const Launcher::Environment* env : {&none, &unknownId, &empty}) {
        EXPECT_FALSE(Launcher::calendarApp(*env));
        Launcher::open(day, *env);
        Launcher::open(*env);
    }
    Launcher::open(Instant{1e300}, standIn.env()); // no civil date: nothing either
    EXPECT_TRUE(standIn.launches().isEmpty());
}

// The desktop as the program sees it: XDG folders in a temporary place, with or without a calendar
// application registered for text/calendar (an editor for plain text is there either way).
TEST(CalendarAppLauncher, theReplySaysWhetherTheDesktopHasACalendarApplicationToOpen)
{
    app();
    for (const bool installed : {false, true}) {
        QTemporaryDir dir;
        const QString apps = dir.path() + QStringLiteral("/share/applications");
        const QString log = dir.path() + QStringLiteral("/log");
        QDir().mkpath(apps);
        QDir().mkpath(dir.path() + QStringLiteral("/home"));
        const auto write = [](const QString& path, const QByteArray& text) {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(text);
        };
        write(apps + QStringLiteral("/kalvix-test-editor.desktop"),
              "[Desktop Entry]\nType=Application\nName=Editor\nMimeType=text/plain;\nExec=true %f\n");
        QByteArray defaults = "[Default Applications]\ntext/plain=kalvix-test-editor.desktop\n";
        if (installed) {
            write(apps + QStringLiteral("/kalvix-test-calendar.desktop"),
                  "[Desktop Entry]\nType=Application\nName=Stand-in\nMimeType=text/calendar;\nExec=" +
                      execQuoted(QStringLiteral(KALVIX_STANDIN_CALENDAR)) + ' ' + execQuoted(log) + " ok %U\n");
            defaults += "text/calendar=kalvix-test-calendar.desktop\n";
        }
        write(apps + QStringLiteral("/mimeapps.list"), defaults);
        const QByteArray data = QFile::encodeName(dir.path() + QStringLiteral("/share"));
        const QByteArray home = QFile::encodeName(dir.path() + QStringLiteral("/home"));
        ScopedEnv dataDirs("XDG_DATA_DIRS", data.constData());
        ScopedEnv dataHome("XDG_DATA_HOME", home.constData());
        ScopedEnv configHome("XDG_CONFIG_HOME", home.constData());
        ScopedEnv configDirs("XDG_CONFIG_DIRS", home.constData());
        ScopedEnv desktop("XDG_CURRENT_DESKTOP", nullptr);
        ScopedEnv session("DESKTOP_SESSION", nullptr);

        MemoryPreferencesStore prefs;
        Launcher::Environment env = Launcher::Environment::standard(&prefs);
        std::vector<std::function<void()>> posted;
        env.runInBackground = [](const std::function<void()>& work) { work(); };
        env.postToMain = [&posted](std::function<void()> work) { posted.push_back(std::move(work)); };
        env.startDetached = [](const QStringList& command, const QString& workingDirectory) {
            return runAndWait(command, workingDirectory, 10s) != RunOutcome::failedToStart;
        };
        std::vector<CalendarAppOutcome> told;
        const CalendarAppReply reply = [&told](CalendarAppOutcome outcome) { told.push_back(outcome); };
        Launcher::open(Instant{utcSeconds(2024, 1, 31, 12)}, env, reply);
        Launcher::open(env, reply);
        EXPECT_TRUE(told.empty()) << "told on the main thread, not from the lookup";
        for (std::size_t i = 0; i < posted.size(); ++i) // what runs there may post more
            posted[i]();

        const CalendarAppOutcome expected = installed ? CalendarAppOutcome::opening : CalendarAppOutcome::none;
        EXPECT_EQ(told, (std::vector<CalendarAppOutcome>{expected, expected})) << "installed: " << installed;
        EXPECT_EQ(QFile::exists(log), installed) << "the stand-in ran";
    }
}

TEST(CalendarAppLauncher, shellCharactersInTheTemplateRunNothingElse)
{
    StandIn standIn(QStringLiteral("org.gnome.Calendar.desktop"), QStringLiteral("ok %U"));
    const QString trap = standIn.folder() + QStringLiteral("/pwned");
    standIn.prefs().set(Pref::calendarDayCommand,
                        u'"' + QStringLiteral(KALVIX_STANDIN_CALENDAR) + QStringLiteral("\" \"") + standIn.folder() +
                            QStringLiteral("/log\" ok \"{date}; touch ") + trap + QStringLiteral("\" '$(touch ") +
                            trap + QStringLiteral(")' `id` a\\ b|c>d"));
    Launcher::open(Instant{utcSeconds(2024, 1, 31, 12)}, standIn.env());
    const QStringList expected{QStringLiteral("2024-01-31; touch ") + trap,
                               QStringLiteral("$(touch ") + trap + u')',
                               QStringLiteral("`id`"),
                               QStringLiteral("a b|c>d")};
    EXPECT_EQ(standIn.launches(), QList<QStringList>{expected});
    EXPECT_FALSE(QFile::exists(trap));
}

TEST(CalendarAppLauncher, placeholderValuesStayInsideTheirArgument)
{
    const QList<std::pair<QString, QString>> values{{QStringLiteral("{date}"), QStringLiteral("1 \"2\"; $(x) {date}")}};
    EXPECT_EQ(Launcher::expandPlaceholders(args({"cal", "--at={date}!", "{date}", "{other}"}), values),
              args({"cal", "--at=1 \"2\"; $(x) {date}!", "1 \"2\"; $(x) {date}", "{other}"}));
}

TEST(CalendarAppLauncher, applicationInAFolderWithShellCharactersStarts)
{
    // The stand-in is started from a folder whose name would do harm if a shell ever saw it.
    StandIn standIn(
        QStringLiteral("evolution.desktop"), QStringLiteral("ok %U"), QStringLiteral("a b;$(touch x)`touch y`"));
    Launcher::open(Instant{utcSeconds(2024, 2, 29, 12)}, standIn.env());
    EXPECT_EQ(standIn.launches(), QList<QStringList>{args({"calendar:///?startdate=20240229"})});
    EXPECT_FALSE(QFile::exists(standIn.folder() + QStringLiteral("/x")));
    EXPECT_FALSE(QFile::exists(standIn.folder() + QStringLiteral("/y")));
}

} // namespace
