#pragma once
// Helpers for tests that put the user's files into awkward states: written in place as an editor does,
// unreadable, with a chosen modification time, checked for leftovers.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <initializer_list>

namespace kalvix::test {

inline QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Truncates and writes the same file, as an editor that saves in place does.
inline void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(f.write(bytes), bytes.size());
}

inline unsigned modeOf(const QString& path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

inline void setMode(const QString& path, unsigned mode)
{
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0) << path.toStdString();
}

// Every name in a folder, hidden ones included: a failed save must leave no temporary behind.
inline QStringList namesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// File permissions bind root only when it acts as someone else: as root, this hands `paths` to the
// unprivileged user and takes that user's effective id for the scope, so mode bits mean the same as
// for any user. As anyone else it does nothing.
class ScopedUnprivileged {
public:
    static constexpr uid_t kNobody = 65534;

    explicit ScopedUnprivileged(std::initializer_list<QString> paths)
        : m_wasRoot(::geteuid() == 0)
    {
        if (!m_wasRoot)
            return;
        for (const QString& path : paths)
            EXPECT_EQ(::lchown(QFile::encodeName(path).constData(), kNobody, kNobody), 0) << path.toStdString();
        EXPECT_EQ(::seteuid(kNobody), 0);
    }
    ~ScopedUnprivileged()
    {
        if (m_wasRoot) {
            EXPECT_EQ(::seteuid(0), 0);
        }
    }
    ScopedUnprivileged(const ScopedUnprivileged&) = delete;
    ScopedUnprivileged& operator=(const ScopedUnprivileged&) = delete;

private:
    bool m_wasRoot;
};

} // namespace kalvix::test
