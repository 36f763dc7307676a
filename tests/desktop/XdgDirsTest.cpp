#include "desktop/XdgDirs.h"
#include "desktop/LoginItems.h"
#include "prefs/IniPreferencesStore.h"
#include "tests/support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <optional>

using namespace kalvix;
using kalvix::test::ScopedEnv;

namespace {

struct HomeRow {
    const char* name;
    const char* variable;
    std::optional<const char*> passwd;
    std::optional<const char*> home;
};

void PrintTo(const HomeRow& row, std::ostream* os)
{
    *os << row.name;
}

class ChoosingTheHome : public ::testing::TestWithParam<HomeRow> {};

// The home folder of this process's passwd entry, as the system reports it.
QString passwdHome()
{
    const passwd* entry = ::getpwuid(::getuid());
    return entry && entry->pw_dir ? QFile::decodeName(entry->pw_dir) : QString();
}

} // namespace

TEST_P(ChoosingTheHome, takesHomeThenThePasswdEntryNeverTheRoot)
{
    const HomeRow& row = GetParam();
    const auto passwd = row.passwd ? std::optional<QString>(QString::fromUtf8(*row.passwd)) : std::nullopt;
    const auto expected = row.home ? std::optional<QString>(QString::fromUtf8(*row.home)) : std::nullopt;
    EXPECT_EQ(chooseHome(QString::fromUtf8(row.variable), passwd), expected);
}

INSTANTIATE_TEST_SUITE_P(Rows,
                         ChoosingTheHome,
                         ::testing::Values(HomeRow{"home_set", "/home/ann", "/home/pw", "/home/ann"},
                                           HomeRow{"home_unset", "", "/home/pw", "/home/pw"},
                                           HomeRow{"home_relative", "ann", "/home/pw", "/home/pw"},
                                           HomeRow{"home_is_the_root", "/", "/home/pw", "/home/pw"},
                                           HomeRow{"trailing_slash_cleaned", "/home/ann/", std::nullopt, "/home/ann"},
                                           HomeRow{"passwd_home_is_the_root", "", "/", std::nullopt},
                                           HomeRow{"no_passwd_entry", "", std::nullopt, std::nullopt},
                                           HomeRow{"relative_passwd_home", "", "home/pw", std::nullopt}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(XdgDirs, withHomeUnsetSettingsGoBelowThePasswdHomeNotTheRoot)
{
    const QString home = passwdHome();
    if (home.isEmpty() || home == u'/' || !QFileInfo(home).isDir())
        GTEST_SKIP() << "this account's passwd entry has no usable home folder";
    ScopedEnv noHome("HOME", nullptr);
    ScopedEnv noConfig("XDG_CONFIG_HOME", nullptr);
    ScopedEnv noData("XDG_DATA_HOME", nullptr);
    EXPECT_EQ(homeDir(), QDir::cleanPath(home));
    EXPECT_EQ(configHome(), QDir::cleanPath(home) + QStringLiteral("/.config"));
    EXPECT_EQ(dataHome(), QDir::cleanPath(home) + QStringLiteral("/.local/share"));
    EXPECT_EQ(IniPreferencesStore::defaultPath(),
              QDir::cleanPath(home) + QStringLiteral("/.config/kalvix/kalvix.conf"));
    EXPECT_EQ(XdgAutostart::defaultEntryPath(),
              QDir::cleanPath(home) + QStringLiteral("/.config/autostart/kalvix.desktop"));
}

TEST(XdgDirs, anAbsoluteVariableWinsAndARelativeOneIsIgnored)
{
    ScopedEnv home("HOME", "/home/ann");
    {
        ScopedEnv config("XDG_CONFIG_HOME", "/srv/config");
        EXPECT_EQ(configHome(), QStringLiteral("/srv/config"));
    }
    ScopedEnv config("XDG_CONFIG_HOME", "relative/config");
    ScopedEnv data("XDG_DATA_HOME", "");
    EXPECT_EQ(configHome(), QStringLiteral("/home/ann/.config"));
    EXPECT_EQ(dataHome(), QStringLiteral("/home/ann/.local/share"));
}
