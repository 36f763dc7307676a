#include "desktop/XdgDirs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <pwd.h>
#include <unistd.h>

#include <vector>

namespace kalvix {
namespace {

std::optional<QString> passwdHome()
{
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(static_cast<size_t>(size > 0 ? size : 16384));
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found || !found->pw_dir)
        return std::nullopt;
    return QFile::decodeName(found->pw_dir);
}

QString xdgDir(const char* variable, const QString& belowHome)
{
    const QString value = qEnvironmentVariable(variable);
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return value;
    const std::optional<QString> home = homeDir();
    return home ? *home + belowHome : QString();
}

} // namespace

std::optional<QString> chooseHome(const QString& homeVariable, const std::optional<QString>& passwdHome)
{
    for (const std::optional<QString>& candidate : {std::optional<QString>(homeVariable), passwdHome}) {
        if (!candidate || candidate->isEmpty() || !QDir::isAbsolutePath(*candidate))
            continue;
        const QString home = QDir::cleanPath(*candidate);
        if (home != u'/') // the root is the home of system accounts that have none
            return home;
    }
    return std::nullopt;
}

std::optional<QString> homeDir()
{
    const QString variable = qEnvironmentVariable("HOME");
    std::optional<QString> fromPasswd;
    if (!chooseHome(variable, std::nullopt)) {
        fromPasswd = passwdHome();
        if (fromPasswd && !QFileInfo(*fromPasswd).isDir()) // "/nonexistent" and the like
            fromPasswd.reset();
    }
    return chooseHome(variable, fromPasswd);
}

QString configHome()
{
    return xdgDir("XDG_CONFIG_HOME", QStringLiteral("/.config"));
}

QString dataHome()
{
    return xdgDir("XDG_DATA_HOME", QStringLiteral("/.local/share"));
}

} // namespace kalvix
