#include "time/SystemZone.h"

#include "time/LocaleName.h"
#include "time/ZoneFile.h"

#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <unistd.h>

namespace kalvix {
namespace {

QByteArray idFromZoneinfoPath(const QByteArray& path)
{
    static const QByteArray marker("zoneinfo/");
    const qsizetype at = path.lastIndexOf(marker);
    if (at < 0)
        return {};
    QByteArray id = path.mid(at + marker.size());
    // "posix/Europe/London" and "right/Europe/London" name the same civil rules.
    if (id.startsWith("posix/") || id.startsWith("right/"))
        id.remove(0, 6);
    return id;
}

// The zone a path names: a path into a zoneinfo tree by its name, a link into one by its target's name,
// anything else by the bytes of the file (see ZoneFile.h). Nothing when there is no such file.
QByteArray zoneIdOfPath(const QByteArray& path, const char* hintPath, bool* missing = nullptr)
{
    QByteArray id = idFromZoneinfoPath(path);
    if (!id.isEmpty())
        return id;
    char buf[512];
    const ssize_t n = ::readlink(path.constData(), buf, sizeof(buf) - 1);
    if (n > 0) {
        id = idFromZoneinfoPath(QByteArray(buf, n));
        if (!id.isEmpty())
            return id;
    } else if (errno == ENOENT) {
        if (missing)
            *missing = true;
        return {};
    }
    return zoneNameOfFile(path, hintPath);
}

QByteArray localtimeZoneId(const char* localtimePath, const char* timezonePath)
{
    bool missing = false;
    const QByteArray id = zoneIdOfPath(QByteArray(localtimePath), timezonePath, &missing);
    if (!missing)
        return id;
    // No /etc/localtime at all: Debian's name file alone still names the zone.
    QFile f(QString::fromLocal8Bit(timezonePath));
    if (f.open(QIODevice::ReadOnly))
        return f.readLine(256).trimmed();
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

// `namesFile`: TZ names a zone file (a path, or ":" alone, which the C library reads as no file).
QByteArray envZoneId(bool* set, bool* namesFile)
{
    const char* tz = std::getenv("TZ");
    *set = tz != nullptr;
    *namesFile = false;
    if (!tz)
        return {};
    QByteArray id(tz);
    if (id.startsWith(':')) {
        id.remove(0, 1);
        *namesFile = id.isEmpty();
    }
    if (id.startsWith('/')) {
        *namesFile = true;
        return zoneIdOfPath(id, nullptr);
    }
    return id;
}

} // namespace

QTimeZone systemZone()
{
    return systemZone("/etc/localtime", "/etc/timezone");
}

QTimeZone systemZone(const char* localtimePath, const char* timezonePath)
{
    bool set = false;
    bool namesFile = false;
    const QByteArray id = envZoneId(&set, &namesFile);
    if (set && !id.isEmpty()) {
        QTimeZone zone = resolve(id);
        if (zone.isValid())
            return zone;
    } else if (set && (qgetenv("TZ").isEmpty() || namesFile)) {
        // An empty TZ, or one naming a zone file that is missing or cannot be read, means UTC to the C
        // library too.
        return QTimeZone::utc();
    }
    QTimeZone zone = resolve(localtimeZoneId(localtimePath, timezonePath));
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
    QByteArray name;
    for (const char* var : {"LC_ALL", "LC_TIME", "LANG"}) {
        const char* value = std::getenv(var);
        if (value && *value) {
            name = value;
            break;
        }
    }
    // Asked at every tick and for every label: the mapping (which asks ICU for data) runs once per name.
    thread_local QByteArray lastName;
    thread_local QString lastId;
    if (lastId.isEmpty() || name != lastName) {
        lastId = name.isEmpty() ? QString::fromLatin1(kFallbackLocale) : icuLocaleId(name);
        lastName = name;
    }
    return lastId;
}

} // namespace kalvix
