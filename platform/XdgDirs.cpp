#include "platform/XdgDirs.h"

#include <QDir>

namespace kalvix::platform {
namespace {

QString xdgDir(const char* variable, const QString& fallback)
{
    const QString value = qEnvironmentVariable(variable);
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return value;
    return QDir::homePath() + fallback;
}

} // namespace

QString configHome()
{
    return xdgDir("XDG_CONFIG_HOME", QStringLiteral("/.config"));
}

QString dataHome()
{
    return xdgDir("XDG_DATA_HOME", QStringLiteral("/.local/share"));
}

} // namespace kalvix::platform
