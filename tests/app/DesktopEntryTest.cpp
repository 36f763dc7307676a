#include "desktop/DesktopEntry.h"
#include "desktop/CommandRunner.h"
#include "tests/support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kalvix;
using kalvix::test::ScopedEnv;
using namespace std::chrono_literals;

namespace {

void writeFile(const QString& path, const QByteArray& text)
{
    QDir().mkpath(path.section(u'/', 0, -2));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}

QStringList args(const std::vector<const char*>& items)
{
    QStringList out;
    for (const char* item : items)
        out += QString::fromUtf8(item);
    return out;
}

DesktopEntry entryWith(const QString& exec, const QString& icon = {})
{
    DesktopEntry e;
    e.id = QStringLiteral("cal.desktop");
    e.filePath = QStringLiteral("/usr/share/applications/cal.desktop");
    e.name = QStringLiteral("Cal");
    e.icon = icon;
    e.exec = exec;
    return e;
}

struct SplitRow {
    const char* name;
    const char* text;
    std::optional<QStringList> args;
};

void PrintTo(const SplitRow& row, std::ostream* os)
{
    *os << row.text;
}

class SplitArguments : public ::testing::TestWithParam<SplitRow> {};

TEST_P(SplitArguments, quotesDecideArgumentsAndNothingIsExpanded)
{
    EXPECT_EQ(splitArguments(QString::fromUtf8(GetParam().text)), GetParam().args);
}

INSTANTIATE_TEST_SUITE_P(
    Rows,
    SplitArguments,
    ::testing::Values(SplitRow{"blanks_separate", "  cal \t--show  x ", args({"cal", "--show", "x"})},
                      SplitRow{"double_quotes_keep_spaces", R"(cal "a b")", args({"cal", "a b"})},
                      SplitRow{"double_quote_escapes", R"(cal "\"\$\`\\ \n")", args({"cal", R"("$`\ \n)"})},
                      SplitRow{"single_quotes_literal", R"(cal '$(rm x); "y"')", args({"cal", R"($(rm x); "y")"})},
                      SplitRow{"backslash_outside_quotes", R"(cal a\ b \;)", args({"cal", "a b", ";"})},
                      SplitRow{"pieces_join", R"(cal "a"'b'c)", args({"cal", "abc"})},
                      SplitRow{"empty_quoted_argument", R"(cal "" x)", args({"cal", "", "x"})},
                      SplitRow{"shell_operators_are_text",
                               "cal ; rm -rf x | y && z",
                               args({"cal", ";", "rm", "-rf", "x", "|", "y", "&&", "z"})},
                      SplitRow{"unterminated_double_quote", R"(cal "abc)", std::nullopt},
                      SplitRow{"unterminated_single_quote", "cal 'abc", std::nullopt},
                      SplitRow{"trailing_backslash", "cal abc\\", std::nullopt}),
    [](const auto& row) { return std::string(row.param.name); });

struct ExecRow {
    const char* name;
    const char* exec;
    const char* icon;
    std::vector<const char*> targets;
    std::optional<QStringList> command;
};

void PrintTo(const ExecRow& row, std::ostream* os)
{
    *os << row.exec;
}

class ExecFieldCodes : public ::testing::TestWithParam<ExecRow> {};

TEST_P(ExecFieldCodes, expandToTheTargetsAndEntryFields)
{
    const ExecRow& row = GetParam();
    const DesktopEntry e = entryWith(QString::fromUtf8(row.exec), QString::fromUtf8(row.icon));
    EXPECT_EQ(e.command(args(row.targets)), row.command);
}

INSTANTIATE_TEST_SUITE_P(
    Rows,
    ExecFieldCodes,
    ::testing::Values(
        ExecRow{"all_targets_for_U", "cal %U", "", {"a", "b"}, args({"cal", "a", "b"})},
        ExecRow{"first_target_for_f", "cal %f --x", "", {"a", "b"}, args({"cal", "a", "--x"})},
        ExecRow{"no_targets_drop_codes", "cal %u --x %F", "", {}, args({"cal", "--x"})},
        ExecRow{"icon_with_icon", "cal %i", "x-office-calendar", {}, args({"cal", "--icon", "x-office-calendar"})},
        ExecRow{"icon_without_icon", "cal %i", "", {}, args({"cal"})},
        ExecRow{"name_and_location",
                "cal --title=%c %k",
                "",
                {},
                args({"cal", "--title=Cal", "/usr/share/applications/cal.desktop"})},
        ExecRow{"doubled_percent", "cal 100%%", "", {}, args({"cal", "100%"})},
        ExecRow{"deprecated_codes_vanish", "cal %d %D %n %N %v %m x", "", {}, args({"cal", "x"})},
        ExecRow{"quoted_program_path", R"("/opt/my cal/bin/cal" %U)", "", {}, args({"/opt/my cal/bin/cal"})},
        ExecRow{"unbalanced_quote", R"("/opt/cal %U)", "", {}, std::nullopt},
        ExecRow{"only_a_code", "%U", "", {}, std::nullopt}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(DesktopEntry, optionsGoWhereTheFileCodeStandsWithoutFlatpakForwardingMarkers)
{
    const QStringList day = args({"--date", "31/01/2024"});
    EXPECT_EQ(entryWith(QStringLiteral("gnome-calendar %U")).commandWithOptions(day),
              args({"gnome-calendar", "--date", "31/01/2024"}));
    EXPECT_EQ(entryWith(QStringLiteral("gnome-calendar")).commandWithOptions(day),
              args({"gnome-calendar", "--date", "31/01/2024"}));
    EXPECT_EQ(entryWith(QStringLiteral("cal %U --new-window")).commandWithOptions(day),
              args({"cal", "--date", "31/01/2024", "--new-window"}));
    EXPECT_EQ(entryWith(QStringLiteral("/usr/bin/flatpak run --branch=stable --command=gnome-calendar "
                                       "--file-forwarding org.gnome.Calendar @@u %U @@"))
                  .commandWithOptions(day),
              args({"/usr/bin/flatpak",
                    "run",
                    "--branch=stable",
                    "--command=gnome-calendar",
                    "--file-forwarding",
                    "org.gnome.Calendar",
                    "--date",
                    "31/01/2024"}));
}

TEST(DesktopEntry, loadReadsOnlyTheEntryGroupAndRefusesWhatCannotBeStarted)
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/cal.desktop");
    writeFile(path,
              "# comment\n[Desktop Entry]\nType=Application\nName=Cal\nName[de]=Kal\n"
              "Exec=\"/opt/a\\\\$b/cal\" --x\\s%U\nPath=/tmp\n"
              "[Desktop Action new]\nName=New\nExec=cal --new\n");
    const std::optional<DesktopEntry> e = DesktopEntry::load(path, QStringLiteral("cal.desktop"));
    ASSERT_TRUE(e);
    EXPECT_EQ(e->name, QStringLiteral("Cal"));
    EXPECT_EQ(e->workingDirectory, QStringLiteral("/tmp"));
    // The file's \\$ is \$ after the value escapes and a literal $ after Exec quoting; \s is a space.
    EXPECT_EQ(e->command(), args({"/opt/a$b/cal", "--x"}));

    const struct {
        const char* name;
        QByteArray text;
    } refused[] = {
        {"hidden_entry", "[Desktop Entry]\nType=Application\nExec=cal\nHidden=true\n"},
        {"link_entry", "[Desktop Entry]\nType=Link\nURL=https://example.org\n"},
        {"no_exec", "[Desktop Entry]\nType=Application\nName=Cal\n"},
        {"exec_only_in_an_action", "[Desktop Entry]\nType=Application\n[Desktop Action x]\nExec=cal\n"},
    };
    for (const auto& row : refused) {
        writeFile(path, row.text);
        EXPECT_FALSE(DesktopEntry::load(path, QStringLiteral("cal.desktop"))) << row.name;
    }
    EXPECT_FALSE(
        DesktopEntry::load(dir.path() + QStringLiteral("/missing.desktop"), QStringLiteral("missing.desktop")));
}

TEST(DesktopEntry, programNameSkipsEnvAndFolders)
{
    EXPECT_EQ(entryWith(QStringLiteral("/usr/bin/evolution %U")).programName(), QStringLiteral("evolution"));
    EXPECT_EQ(entryWith(QStringLiteral("env GDK_BACKEND=x11 gnome-calendar %U")).programName(),
              QStringLiteral("gnome-calendar"));
}

TEST(DesktopEntry, findDesktopFileTakesTheFirstFolderAndVendorSubfolders)
{
    QTemporaryDir dir;
    const QString home = dir.path() + QStringLiteral("/home/applications");
    const QString system = dir.path() + QStringLiteral("/usr/applications");
    writeFile(home + QStringLiteral("/cal.desktop"), "[Desktop Entry]\n");
    writeFile(system + QStringLiteral("/cal.desktop"), "[Desktop Entry]\n");
    writeFile(system + QStringLiteral("/kde/korganizer.desktop"), "[Desktop Entry]\n");
    const QStringList dirs{home, system};
    EXPECT_EQ(findDesktopFile(QStringLiteral("cal.desktop"), dirs), home + QStringLiteral("/cal.desktop"));
    EXPECT_EQ(findDesktopFile(QStringLiteral("kde-korganizer.desktop"), dirs),
              system + QStringLiteral("/kde/korganizer.desktop"));
    EXPECT_EQ(findDesktopFile(QStringLiteral("missing.desktop"), dirs), QString());
    EXPECT_EQ(findDesktopFile(QStringLiteral("../usr/applications/cal.desktop"), {home}), QString());
    EXPECT_EQ(findDesktopFile(QStringLiteral("cal"), dirs), QString());
}

TEST(DesktopEntry, applicationDirsFollowXdgVariablesAndIgnoreRelativeOnes)
{
    ScopedEnv home("XDG_DATA_HOME", "/h/share");
    ScopedEnv dirs("XDG_DATA_DIRS", "/a:relative:/b/");
    EXPECT_EQ(applicationDirs(), args({"/h/share/applications", "/a/applications", "/b//applications"}));
}

TEST(DesktopEntry, defaultApplicationAsksXdgMime)
{
    if (QStandardPaths::findExecutable(QStringLiteral("xdg-mime")).isEmpty())
        GTEST_SKIP() << "xdg-mime (xdg-utils) is not installed";
    QTemporaryDir dir;
    writeFile(dir.path() + QStringLiteral("/config/mimeapps.list"),
              "[Default Applications]\ntext/calendar=standin-cal.desktop\n");
    // xdg-mime names only applications that are installed.
    writeFile(dir.path() + QStringLiteral("/data/applications/standin-cal.desktop"),
              "[Desktop Entry]\nType=Application\nName=Cal\nExec=true\nMimeType=text/calendar;\n");
    const QByteArray config = QFile::encodeName(dir.path() + QStringLiteral("/config"));
    const QByteArray data = QFile::encodeName(dir.path() + QStringLiteral("/data"));
    ScopedEnv desktop("XDG_CURRENT_DESKTOP", nullptr);
    ScopedEnv session("DESKTOP_SESSION", nullptr);
    ScopedEnv configHome("XDG_CONFIG_HOME", config.constData());
    ScopedEnv configDirs("XDG_CONFIG_DIRS", data.constData());
    ScopedEnv dataHome("XDG_DATA_HOME", data.constData());
    ScopedEnv dataDirs("XDG_DATA_DIRS", data.constData());
    EXPECT_EQ(defaultApplication(QStringLiteral("text/calendar")), QStringLiteral("standin-cal.desktop"));
    EXPECT_EQ(defaultApplication(QStringLiteral("application/x-kalvix-nothing")), std::nullopt);
}

TEST(CommandRunner, outcomesFollowStartAndExitStatus)
{
    using kalvix::RunOutcome;
    EXPECT_EQ(runAndWait(args({"true"}), {}, 5s), RunOutcome::exitedWithSuccess);
    EXPECT_EQ(runAndWait(args({"sh", "-c", "exit 3"}), {}, 5s), RunOutcome::exitedWithFailure);
    EXPECT_EQ(runAndWait(args({"sh", "-c", "kill -9 $$"}), {}, 5s), RunOutcome::exitedWithFailure);
    EXPECT_EQ(runAndWait(args({"sleep", "3"}), {}, 100ms), RunOutcome::stillRunning);
    EXPECT_EQ(runAndWait(args({"kalvix-no-such-program"}), {}, 5s), RunOutcome::failedToStart);
    EXPECT_EQ(runAndWait(QStringList(), {}, 5s), RunOutcome::failedToStart);
    EXPECT_EQ(runAndWait(args({"true"}), QStringLiteral("/kalvix/no/such/dir"), 5s), RunOutcome::failedToStart);
    EXPECT_FALSE(startDetached(args({"kalvix-no-such-program"}), {}));
}

TEST(CommandRunner, runsInTheWorkingDirectoryWithNothingOnInput)
{
    QTemporaryDir dir;
    // `cat` with no input ends at once; `pwd` shows the folder.
    ASSERT_EQ(runAndWait(args({"sh", "-c", "cat >/dev/null; pwd > out"}), dir.path(), 5s),
              kalvix::RunOutcome::exitedWithSuccess);
    QFile out(dir.path() + QStringLiteral("/out"));
    ASSERT_TRUE(out.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(out.readAll()).trimmed(), QDir(dir.path()).canonicalPath());
}

} // namespace
