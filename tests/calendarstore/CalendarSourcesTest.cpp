// Where the user's calendars are found: Evolution's local calendar, khal's and vdirsyncer's
// configuration, and Kalvix's own folder, with HOME and the XDG folders pinned to a temporary home.
#include "calendarstore/CalendarSources.h"
#include "tests/support/CalendarTestSupport.h"

using namespace kalvix;
using namespace kalvix::test;

namespace {

class Places : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_home.isValid()); }

    QString home(const QString& relative = {}) const
    {
        return relative.isEmpty() ? m_home.path() : m_home.filePath(relative);
    }
    void mkdir(const QString& relative) const { ASSERT_TRUE(QDir().mkpath(home(relative))); }

    QTemporaryDir m_home;
    ScopedEnv m_homeEnv{"HOME", nullptr};
    ScopedEnv m_configEnv{"XDG_CONFIG_HOME", nullptr};
    ScopedEnv m_dataEnv{"XDG_DATA_HOME", nullptr};
    void pin()
    {
        ::setenv("HOME", QFile::encodeName(home()).constData(), 1);
        ::setenv("XDG_CONFIG_HOME", QFile::encodeName(home(u"config"_qs)).constData(), 1);
        ::setenv("XDG_DATA_HOME", QFile::encodeName(home(u"data"_qs)).constData(), 1);
    }
};

} // namespace

TEST_F(Places, withNothingConfiguredOnlyKalvixsOwnFolder)
{
    pin();
    EXPECT_EQ(standardCalendarSources(), QStringList{home(u"data/kalvix/calendars"_qs)});
}

TEST_F(Places, evolutionKhalAndVdirsyncerInThatOrderEachFolderOnce)
{
    pin();
    writeFile(home(u"data/evolution/calendar/system/calendar.ics"_qs), "BEGIN:VCALENDAR\r\nEND:VCALENDAR\r\n");
    mkdir(u".calendars/work"_qs);
    mkdir(u".calendars/family"_qs);
    mkdir(u"synced/personal"_qs);
    writeFile(home(u"config/khal/config"_qs),
              "[calendars]\n[[work]]\npath = ~/.calendars/*\ntype = discover\n[[gone]]\npath = ~/.calendars/gone\n"
              "[locale]\npath = ~/not-a-calendar\n");
    writeFile(home(u"config/vdirsyncer/config"_qs),
              "[general]\nstatus_path = \"~/.vdirsyncer/status/\"\n"
              "[storage cal_local]\ntype = \"filesystem\"\npath = \"~/synced/personal\"\nfileext = \".ics\"\n"
              "[storage cal_remote]\ntype = \"caldav\"\npath = \"~/remote-only\"\n"
              "[storage again]\ntype = \"filesystem\"\npath = \"~/.calendars/work\"\n");
    mkdir(u"remote-only"_qs);
    mkdir(u"not-a-calendar"_qs);
    const QStringList expected{home(u"data/evolution/calendar/system/calendar.ics"_qs),
                               home(u".calendars/family"_qs),
                               home(u".calendars/work"_qs),
                               home(u"synced/personal"_qs),
                               home(u"data/kalvix/calendars"_qs)};
    EXPECT_EQ(standardCalendarSources(), expected);
}

TEST_F(Places, vdirsyncersOlderConfigurationPlace)
{
    pin();
    mkdir(u"cals"_qs);
    writeFile(home(u".vdirsyncer/config"_qs), "[storage local]\ntype = \"filesystem\"\npath = \"~/cals\"\n");
    EXPECT_EQ(standardCalendarSources(), (QStringList{home(u"cals"_qs), home(u"data/kalvix/calendars"_qs)}));
}

TEST_F(Places, theUsersListIsCleanedAndKeepsItsOrder)
{
    pin();
    const QStringList listed{u"~/b"_qs,
                             u"\"/tmp/with space/\""_qs,
                             u"  ~/a  "_qs,
                             u"~/b/"_qs,
                             u""_qs,
                             u"'/quoted'"_qs,
                             u"relative/x.ics"_qs};
    const QStringList expected{
        home(u"b"_qs), u"/tmp/with space"_qs, home(u"a"_qs), u"/quoted"_qs, u"relative/x.ics"_qs};
    EXPECT_EQ(userCalendarSources(listed), expected);
}

TEST_F(Places, aLongListOfSourcesIsCleanedInOnePass)
{
    pin();
    QStringList listed;
    for (int i = 0; i < 50000; ++i)
        listed.append(u"/cal/"_qs + QString::number(i % 25000) + u".ics"_qs);
    const QStringList sources = userCalendarSources(listed);
    ASSERT_EQ(sources.size(), 25000);
    EXPECT_EQ(sources.front(), u"/cal/0.ics"_qs);
    EXPECT_EQ(sources.back(), u"/cal/24999.ics"_qs);
}
