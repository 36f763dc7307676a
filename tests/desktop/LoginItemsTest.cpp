#include "desktop/LoginItems.h"
#include "tests/support/UserFiles.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <sys/stat.h>

using namespace kalvix;
using kalvix::test::readFile;
using kalvix::test::writeFile;

namespace {

// A home with an autostart folder, a bin folder on the search path and an installed program.
class Home {
public:
    Home()
    {
        QDir().mkpath(m_dir.filePath(QStringLiteral("bin")));
        QDir().mkpath(m_dir.filePath(QStringLiteral("opt")));
        m_program = makeProgram(QStringLiteral("opt/kalvix"));
    }

    QString entry() const { return m_dir.filePath(QStringLiteral("autostart/kalvix.desktop")); }
    QString bin() const { return m_dir.filePath(QStringLiteral("bin")); }
    QString program() const { return m_program; }
    QString path(const QString& name) const { return m_dir.filePath(name); }

    QString makeProgram(const QString& name) const
    {
        const QString path = m_dir.filePath(name);
        writeFile(path, "#!/bin/sh\n");
        test::setMode(path, 0755);
        return path;
    }
    void putEntry(const QByteArray& text) const
    {
        QDir().mkpath(QFileInfo(entry()).path());
        writeFile(entry(), text);
    }
    XdgAutostart items() const { return XdgAutostart(entry(), m_program, bin()); }

private:
    QTemporaryDir m_dir;
    QString m_program;
};

QByteArray ownEntry(const QByteArray& exec, const QByteArray& extra = {})
{
    return "[Desktop Entry]\nType=Application\nName=Kalvix\nComment=Clock and calendar in the status area\nExec=" +
           exec + "\nIcon=kalvix\nTerminal=false\nX-GNOME-Autostart-enabled=true\nX-Kalvix-Exec=" + exec + '\n' + extra;
}

QByteArray earlierEntry(const QByteArray& exec)
{
    return "[Desktop Entry]\nType=Application\nName=Kalvix\nComment=Clock and calendar in the status area\nExec=" +
           exec + "\nIcon=x-office-calendar\nTerminal=false\nX-GNOME-Autostart-enabled=true\n";
}

struct RefreshRow {
    const char* name;
    std::function<QByteArray(const Home&)> entry;
    std::function<QByteArray(const Home&)> expected; // null: left exactly as it was
};

void PrintTo(const RefreshRow& row, std::ostream* os)
{
    *os << row.name;
}

class AutostartAtStart : public ::testing::TestWithParam<RefreshRow> {};

QByteArray gone(const Home& home)
{
    return home.path(QStringLiteral("build/app/kalvix")).toUtf8();
}

} // namespace

TEST(XdgAutostart, firstLaunchAddsAnEntryForTheRunningProgram)
{
    Home home;
    XdgAutostart items = home.items();
    EXPECT_FALSE(items.isEnabled());
    ASSERT_TRUE(items.registerApp());
    EXPECT_TRUE(items.isEnabled());
    EXPECT_EQ(readFile(home.entry()), ownEntry(home.program().toUtf8()));
}

TEST(XdgAutostart, theUsersChoiceOutlivesTheFirstLaunchFlag)
{
    // kalvix.conf deleted, or a read-only link where the flag cannot be stored: every start is a "first"
    // launch, and none may turn the entry back on.
    Home home;
    XdgAutostart items = home.items();
    ASSERT_TRUE(items.registerApp());
    ASSERT_TRUE(items.setEnabled(false));
    const QByteArray off = readFile(home.entry());
    EXPECT_EQ(off, ownEntry(home.program().toUtf8(), "Hidden=true\n"));
    EXPECT_FALSE(items.isEnabled());
    EXPECT_TRUE(items.registerApp());
    EXPECT_TRUE(items.refresh());
    EXPECT_EQ(readFile(home.entry()), off);

    const QByteArray gnomeOff = earlierEntry("kalvix").replace("enabled=true", "enabled=false");
    home.putEntry(gnomeOff);
    EXPECT_FALSE(items.isEnabled());
    EXPECT_TRUE(items.registerApp());
    EXPECT_EQ(readFile(home.entry()), gnomeOff);

    ASSERT_TRUE(items.setEnabled(true)); // the Settings switch may turn it on again
    EXPECT_TRUE(items.isEnabled());
    EXPECT_TRUE(items.unregisterApp());
    EXPECT_TRUE(QFile::exists(home.entry()));
    EXPECT_FALSE(items.isEnabled());
}

TEST(XdgAutostart, switchingOnKeepsTheUsersLinesAndOffWithoutAnEntryWritesNothing)
{
    Home home;
    XdgAutostart items = home.items();
    EXPECT_TRUE(items.setEnabled(false));
    EXPECT_FALSE(QFile::exists(home.entry()));
    home.putEntry("[Desktop Entry]\nExec=kalvix --open-settings\nHidden=true\n# mine\n");
    ASSERT_TRUE(items.setEnabled(true));
    EXPECT_EQ(readFile(home.entry()), QByteArray("[Desktop Entry]\nExec=kalvix --open-settings\n# mine\n"));

    // Off as GLib, and so the session, reads these keys.
    for (const char* off : {"Hidden=1\n", "X-GNOME-Autostart-enabled=0\n"}) {
        home.putEntry(QByteArray("[Desktop Entry]\nExec=") + home.program().toUtf8() + '\n' + off);
        EXPECT_FALSE(items.isEnabled()) << off;
    }

    home.putEntry("[Desktop Entry]\nName=Mine\n");
    EXPECT_FALSE(items.isEnabled()); // no Exec: nothing would start
    ASSERT_TRUE(items.setEnabled(true));
    const QByteArray exec = home.program().toUtf8();
    EXPECT_EQ(readFile(home.entry()), "[Desktop Entry]\nName=Mine\nExec=" + exec + "\nX-Kalvix-Exec=" + exec + '\n');
    EXPECT_TRUE(items.isEnabled());
}

TEST(XdgAutostart, launchProgramIsTheNameOnPathOnlyWhenThatIsTheRunningProgram)
{
    Home home;
    EXPECT_EQ(home.items().launchProgram(), home.program()); // not on the search path
    ASSERT_TRUE(QFile::link(home.program(), home.bin() + QStringLiteral("/kalvix")));
    EXPECT_EQ(home.items().launchProgram(), QStringLiteral("kalvix"));

    const QString other = home.makeProgram(QStringLiteral("opt/other-kalvix"));
    const XdgAutostart shadowed(home.entry(), home.program(), home.path(QStringLiteral("opt2")) + u':' + home.bin());
    EXPECT_EQ(shadowed.launchProgram(), QStringLiteral("kalvix"));
    QDir().mkpath(home.path(QStringLiteral("first")));
    ASSERT_TRUE(QFile::link(other, home.path(QStringLiteral("first/kalvix"))));
    const XdgAutostart another(home.entry(), home.program(), home.path(QStringLiteral("first")) + u':' + home.bin());
    EXPECT_EQ(another.launchProgram(), home.program()); // the session would start the other one
}

TEST_P(AutostartAtStart, pointsOnlyKalvixsOwnBrokenEntryAtTheRunningProgram)
{
    const RefreshRow& row = GetParam();
    Home home;
    const QByteArray before = row.entry(home);
    home.putEntry(before);
    test::setMode(home.entry(), 0600);
    EXPECT_TRUE(home.items().refresh());
    EXPECT_EQ(readFile(home.entry()), row.expected ? row.expected(home) : before);
    EXPECT_EQ(test::modeOf(home.entry()), 0600u);
}

INSTANTIATE_TEST_SUITE_P(
    Entries,
    AutostartAtStart,
    ::testing::Values(RefreshRow{"own_entry_program_gone",
                                 [](const Home& h) -> QByteArray { return ownEntry(gone(h)); },
                                 [](const Home& h) -> QByteArray { return ownEntry(h.program().toUtf8()); }},
                      RefreshRow{"own_entry_with_user_lines_program_gone",
                                 [](const Home& h) -> QByteArray {
                                     return ownEntry(gone(h), "Name[de]=Uhr\n\n[Desktop Action x]\nExec=y\n");
                                 },
                                 [](const Home& h) -> QByteArray {
                                     return ownEntry(h.program().toUtf8(),
                                                     "Name[de]=Uhr\n\n[Desktop Action x]\nExec=y\n");
                                 }},
                      RefreshRow{"earlier_versions_entry_program_gone",
                                 [](const Home& h) -> QByteArray { return earlierEntry(gone(h)); },
                                 [](const Home& h) -> QByteArray { return ownEntry(h.program().toUtf8()); }},
                      RefreshRow{"own_entry_program_present",
                                 [](const Home& h) -> QByteArray { return ownEntry(h.program().toUtf8()); },
                                 nullptr},
                      RefreshRow{"own_entry_found_on_path",
                                 [](const Home& h) -> QByteArray {
                                     QFile::link(h.program(), h.bin() + QStringLiteral("/kalvix"));
                                     return ownEntry("kalvix");
                                 },
                                 nullptr},
                      RefreshRow{"disabled_own_entry_program_gone",
                                 [](const Home& h) -> QByteArray { return ownEntry(gone(h), "Hidden=true\n"); },
                                 nullptr},
                      RefreshRow{"exec_edited_by_the_user",
                                 [](const Home& h) -> QByteArray {
                                     QByteArray text = ownEntry(gone(h));
                                     const QByteArray exec = "\nExec=" + gone(h); // not the X-Kalvix-Exec line
                                     return text.replace(QByteArray(exec + '\n'),
                                                         QByteArray(exec + " --open-settings\n"));
                                 },
                                 nullptr},
                      RefreshRow{"earlier_entry_edited_by_the_user",
                                 [](const Home& h) -> QByteArray { return earlierEntry(gone(h)) + "Name[de]=Uhr\n"; },
                                 nullptr},
                      RefreshRow{"garbage",
                                 [](const Home&) -> QByteArray { return QByteArray("\x01\x02 not an entry\n"); },
                                 nullptr}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(XdgAutostart, aFullDiskLeavesTheEntryWhole)
{
    Home home;
    home.putEntry(ownEntry(gone(home)));
    XdgAutostart items = home.items();
    items.setWriteFault(WriteFault{WriteStep::write, ENOSPC});
    EXPECT_FALSE(items.refresh());
    EXPECT_FALSE(items.setEnabled(false));
    EXPECT_EQ(readFile(home.entry()), ownEntry(gone(home)));
    EXPECT_EQ(test::namesIn(QFileInfo(home.entry()).path()), QStringList{QStringLiteral("kalvix.desktop")});

    QFile::remove(home.entry());
    EXPECT_FALSE(items.registerApp());
    EXPECT_FALSE(QFile::exists(home.entry()));
}

TEST(XdgAutostart, anEntryThatCannotBeReadIsNeverRewritten)
{
    Home home;
    home.putEntry(ownEntry(gone(home), "Hidden=true\n"));
    test::setMode(home.entry(), 0200);
    {
        const test::ScopedUnprivileged as({home.path(QString()), QFileInfo(home.entry()).path(), home.entry()});
        XdgAutostart items = home.items();
        EXPECT_FALSE(items.isEnabled());
        EXPECT_FALSE(items.registerApp());
        EXPECT_FALSE(items.setEnabled(true));
        EXPECT_FALSE(items.refresh());
    }
    EXPECT_EQ(test::modeOf(home.entry()), 0200u);
    test::setMode(home.entry(), 0600); // to look inside
    EXPECT_EQ(readFile(home.entry()), ownEntry(gone(home), "Hidden=true\n"));
}

TEST(XdgAutostart, aFifoInPlaceOfTheEntryIsNotOpened)
{
    Home home;
    QDir().mkpath(QFileInfo(home.entry()).path());
    ASSERT_EQ(::mkfifo(QFile::encodeName(home.entry()).constData(), 0600), 0);
    XdgAutostart items = home.items();
    EXPECT_FALSE(items.isEnabled());
    EXPECT_FALSE(items.registerApp());
    EXPECT_FALSE(items.refresh());
}

TEST(XdgAutostart, withoutAnEntryPathNothingIsWritten)
{
    XdgAutostart items(QString(), QStringLiteral("/usr/bin/kalvix"), QString());
    EXPECT_FALSE(items.registerApp());
    EXPECT_FALSE(items.setEnabled(true));
    EXPECT_FALSE(items.isEnabled());
    EXPECT_TRUE(items.refresh());
}

TEST(XdgAutostart, execValueQuotesPathsWithReservedCharacters)
{
    EXPECT_EQ(XdgAutostart::execValue(QStringLiteral("/usr/bin/kalvix")), QStringLiteral("/usr/bin/kalvix"));
    EXPECT_EQ(XdgAutostart::execValue(QStringLiteral("/home/a b/kalvix")), QStringLiteral("\"/home/a b/kalvix\""));
    EXPECT_EQ(XdgAutostart::execValue(QStringLiteral("/x/$HOME/k")), QStringLiteral("\"/x/\\\\$HOME/k\""));
}

TEST(XdgAutostart, aProgramInAFolderWithBlanksIsFoundAgain)
{
    Home home;
    QDir().mkpath(home.path(QStringLiteral("My Apps")));
    const QString program = home.makeProgram(QStringLiteral("My Apps/kalvix"));
    home.putEntry(ownEntry(XdgAutostart::execValue(program).toUtf8()));
    const QByteArray before = readFile(home.entry());
    EXPECT_TRUE(XdgAutostart(home.entry(), program, home.bin()).refresh());
    EXPECT_EQ(readFile(home.entry()), before); // the quoted path exists: nothing to fix
}
