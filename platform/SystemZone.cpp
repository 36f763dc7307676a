#include "platform/SystemZone.h"

#include <QFile>

#include <cstdlib>
#include <unistd.h>

namespace kalvix::platform {
namespace {

QByteArray idFromZoneinfoPath(const QByteArray& path)
{
    static const QByteArray marker("zoneinfo/");
    const qsizetype at = path.lastIndexOf(marker);
    if (at < 0)
        return {};
    QByteArray id = path.mid(at + marker.size());
    // "posix/Europe/London" and "right/Europe/London" name the same civil rules.
    if (id.startsWith("posix/"))
        id.remove(0, 6);
    else if (id.startsWith("right/"))
        id.remove(0, 6);
    return id;
}

QByteArray localtimeZoneId(const char* localtimePath)
{
    char buf[512];
    const ssize_t n = ::readlink(localtimePath, buf, sizeof(buf) - 1);
    if (n > 0) {
        const QByteArray id = idFromZoneinfoPath(QByteArray(buf, n));
        if (!id.isEmpty())
            return id;
    }
    // A copied (not linked) /etc/localtime: Debian keeps the name beside it.
    QFile f(QStringLiteral("/etc/timezone"));
    if (f.open(QIODevice::ReadOnly))
        return f.readLine().trimmed();
    return {};
}

// One resolved zone per thread: the tick asks every second, and building a QTimeZone parses a tz file.
struct ZoneCache {
    QByteArray key;
    QTimeZone zone; // invalid when the key names no zone
};

QTimeZone resolve(const QByteArray& key)
{
    thread_local ZoneCache cache;
    if (!cache.key.isNull() && cache.key == key)
        return cache.zone;
    cache.key = key.isNull() ? QByteArray("") : key;
    cache.zone = key.isEmpty() ? QTimeZone() : QTimeZone(key);
    return cache.zone;
}

QByteArray envZoneId(bool* set)
{
    const char* tz = std::getenv("TZ");
    *set = tz != nullptr;
    if (!tz)
        return {};
    QByteArray id(tz);
    if (id.startsWith(':'))
        id.remove(0, 1);
    if (id.startsWith('/'))
        return idFromZoneinfoPath(id);
    return id;
}

} // namespace

QTimeZone systemZone()
{
    return systemZone("/etc/localtime");
}

QTimeZone systemZone(const char* localtimePath)
{
    bool set = false;
    const QByteArray id = envZoneId(&set);
    if (set && !id.isEmpty()) {
        QTimeZone zone = resolve(id);
        if (zone.isValid())
            return zone;
    } else if (set && qgetenv("TZ").isEmpty()) {
        return QTimeZone::utc(); // an empty TZ means UTC to the C library too
    }
    QTimeZone zone = resolve(localtimeZoneId(localtimePath));
    return zone.isValid() ? zone : QTimeZone::utc();
}

QTimeZone zoneOrSystem(const QByteArray& ianaId)
{
    if (!ianaId.isEmpty()) {
        QTimeZone zone(ianaId);
        if (zone.isValid())
            return zone;
    }
    return systemZone();
}

QString currentLocaleId()
{
    for (const char* var : {"LC_ALL", "LC_TIME", "LANG"}) {
        const char* value = std::getenv(var);
        if (!value || !*value)
            continue;
        QByteArray name(value);
        const qsizetype cut = name.indexOf('.') >= 0 ? name.indexOf('.') : name.indexOf('@');
        if (cut >= 0)
            name.truncate(cut);
        if (name == "C" || name == "POSIX" || name.isEmpty())
            return QStringLiteral("en_US_POSIX");
        return QString::fromLatin1(name);
    }
    return QStringLiteral("en_US_POSIX");
}

} // namespace kalvix::platform
