#include "calendarstore/CalendarSources.h"

#include "desktop/XdgDirs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

namespace kalvix {
namespace {

QString home()
{
    const QByteArray h = qgetenv("HOME");
    return h.isEmpty() ? QDir::homePath() : QString::fromLocal8Bit(h);
}

QString expandHome(QString path)
{
    path = path.trimmed();
    if (path.size() >= 2 && (path.front() == QLatin1Char('"') || path.front() == QLatin1Char('\'')) &&
        path.back() == path.front())
        path = path.mid(1, path.size() - 2);
    if (path == u"~" || path.startsWith(u"~/"))
        path = home() + path.mid(1);
    return path;
}

// A `*` in the last part of a path names every folder it matches (khal's "~/.calendars/*").
QStringList expandGlob(const QString& path)
{
    if (!path.contains(QLatin1Char('*')))
        return {path};
    const QFileInfo info(path);
    const QDir dir = info.dir();
    QStringList out;
    for (const QFileInfo& e :
         dir.entryInfoList({info.fileName()}, QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot, QDir::Name))
        out.append(e.absoluteFilePath());
    return out;
}

QStringList readLines(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text) || f.size() > 1024 * 1024)
        return {};
    return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
}

// khal: `path = ...` lines inside [calendars] sections.
QStringList khalPaths(const QString& configHome)
{
    QStringList out;
    bool inCalendars = false;
    static const QRegularExpression section(QStringLiteral(R"(^\s*\[([^\[\]]+)\]\s*$)"));
    static const QRegularExpression pathLine(QStringLiteral(R"(^\s*path\s*=\s*(.+?)\s*$)"));
    for (const QString& line : readLines(configHome + QStringLiteral("/khal/config"))) {
        if (const auto m = section.match(line); m.hasMatch())
            inCalendars = m.captured(1).trimmed() == u"calendars";
        else if (const auto p = pathLine.match(line); p.hasMatch() && inCalendars)
            out += expandGlob(expandHome(p.captured(1)));
    }
    return out;
}

// vdirsyncer: `path = "..."` in [storage ...] sections whose type is "filesystem".
QStringList vdirsyncerPaths(const QString& configHome)
{
    QStringList lines = readLines(configHome + QStringLiteral("/vdirsyncer/config"));
    if (lines.isEmpty())
        lines = readLines(home() + QStringLiteral("/.vdirsyncer/config"));
    QStringList out;
    static const QRegularExpression section(QStringLiteral(R"(^\s*\[(\w+)[^\]]*\]\s*$)"));
    static const QRegularExpression keyLine(QStringLiteral(R"(^\s*(\w+)\s*=\s*(.+?)\s*$)"));
    bool inStorage = false;
    QString type;
    QString path;
    auto flush = [&] {
        if (inStorage && type == u"filesystem" && !path.isEmpty())
            out.append(expandHome(path));
        type.clear();
        path.clear();
    };
    for (const QString& line : lines) {
        if (const auto m = section.match(line); m.hasMatch()) {
            flush();
            inStorage = m.captured(1) == u"storage";
        } else if (const auto k = keyLine.match(line); k.hasMatch()) {
            QString value = k.captured(2);
            value.remove(QLatin1Char('"'));
            if (k.captured(1) == u"type")
                type = value;
            else if (k.captured(1) == u"path")
                path = value;
        }
    }
    flush();
    return out;
}

} // namespace

QStringList standardCalendarSources()
{
    const QString data = dataHome();
    const QString config = configHome();
    QStringList candidates;
    candidates.append(data + QStringLiteral("/evolution/calendar/system/calendar.ics"));
    candidates += khalPaths(config);
    candidates += vdirsyncerPaths(config);
    QStringList out;
    for (const QString& c : std::as_const(candidates)) {
        const QString clean = QDir::cleanPath(c);
        if (QFileInfo::exists(clean) && !out.contains(clean))
            out.append(clean);
    }
    // Kalvix's own folder is always a source, so calendars dropped there later are seen.
    const QString own = kalvixCalendarFolder();
    if (!out.contains(own))
        out.append(own);
    return out;
}

QString kalvixCalendarFolder()
{
    return dataHome() + QStringLiteral("/kalvix/calendars");
}

QStringList userCalendarSources(const QStringList& entries)
{
    QStringList out;
    QSet<QString> seen;
    for (const QString& e : entries) {
        const QString path = QDir::cleanPath(expandHome(e));
        if (!expandHome(e).isEmpty() && !seen.contains(path)) {
            seen.insert(path);
            out.append(path);
        }
    }
    return out;
}

} // namespace kalvix
