#include "platform/LoginItems.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kalvix;

TEST(XdgAutostart, registerWritesAnEntryThatHiddenTrueDisables)
{
    QTemporaryDir dir;
    const QString entry = dir.path() + QStringLiteral("/autostart/kalvix.desktop");
    XdgAutostart items(entry, QStringLiteral("/opt/kalvix/bin/kalvix"));
    EXPECT_FALSE(items.isEnabled());
    ASSERT_TRUE(items.registerApp());
    EXPECT_TRUE(items.isEnabled());

    QFile f(entry);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    EXPECT_TRUE(text.contains("Exec=/opt/kalvix/bin/kalvix\n"));
    f.close();

    ASSERT_TRUE(f.open(QIODevice::Append));
    f.write("Hidden=true\n");
    f.close();
    EXPECT_FALSE(items.isEnabled());

    ASSERT_TRUE(items.unregisterApp());
    EXPECT_FALSE(QFile::exists(entry));
    EXPECT_TRUE(items.unregisterApp()); // already gone is not a failure
}

TEST(XdgAutostart, execValueQuotesPathsWithReservedCharacters)
{
    EXPECT_EQ(XdgAutostart::execValue(QStringLiteral("/usr/bin/kalvix")), QStringLiteral("/usr/bin/kalvix"));
    EXPECT_EQ(XdgAutostart::execValue(QStringLiteral("/home/a b/kalvix")), QStringLiteral("\"/home/a b/kalvix\""));
    EXPECT_EQ(XdgAutostart::execValue(QStringLiteral("/x/$HOME/k")), QStringLiteral("\"/x/\\\\$HOME/k\""));
}

TEST(XdgAutostart, registerFailsWhenTheFolderCannotBeMade)
{
    QTemporaryDir dir;
    QFile blocker(dir.path() + QStringLiteral("/autostart"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly)); // a file where the folder should be
    blocker.close();
    XdgAutostart items(dir.path() + QStringLiteral("/autostart/kalvix.desktop"), QStringLiteral("/usr/bin/kalvix"));
    EXPECT_FALSE(items.registerApp());
    EXPECT_FALSE(items.isEnabled());
}
