#include "platform/IcalSources.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <sys/stat.h>

namespace kalvix::ical {
namespace {

constexpr int kMaxFolderDepth = 3;

bool isRegularFile(const QString& path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

QString readSmallText(const QString& path)
{
    QFile f(path);
    if (!isRegularFile(path) || !f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.read(4096)).trimmed();
}

void scanFolder(const QString& dir, int depth, std::vector<CalendarEntry>& calendars, QStringList& folders)
{
    folders.append(dir);
    const QDir d(dir);
    CalendarEntry entry;
    QStringList subfolders;
    for (const QFileInfo& info :
         d.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::System, QDir::Name)) {
        if (info.isDir()) {
            subfolders.append(info.filePath());
        } else if (info.suffix().compare(u"ics", Qt::CaseInsensitive) == 0) {
            entry.files.append(info.filePath());
        }
    }
    if (!entry.files.isEmpty()) {
        entry.path = dir;
        entry.name = readSmallText(d.filePath(QStringLiteral("displayname")));
        entry.color = CalendarColor::fromName(readSmallText(d.filePath(QStringLiteral("color"))));
        calendars.push_back(std::move(entry));
    }
    if (depth < kMaxFolderDepth) {
        for (const QString& sub : std::as_const(subfolders))
            scanFolder(sub, depth + 1, calendars, folders);
    }
}

void scanSource(const QString& source, SourceScan& scan, QStringList& folders)
{
    const QFileInfo info(source);
    if (!info.exists()) {
        // Watch the nearest folder that exists, to see the source come (back).
        QDir up = info.absoluteDir();
        while (!up.exists() && up.cdUp()) {
        }
        if (up.exists())
            scan.watchPaths.append(up.absolutePath());
        return;
    }
    scan.anySourceExists = true;
    if (info.isDir()) {
        if (!QDir(source).isReadable() || !info.isReadable()) {
            if (scan.unreadable.isEmpty())
                scan.unreadable = source;
            return;
        }
        scan.anySourceReadable = true;
        scanFolder(info.absoluteFilePath(), 0, scan.calendars, folders);
    } else {
        QFile probe(source);
        if (!probe.open(QIODevice::ReadOnly)) {
            if (scan.unreadable.isEmpty())
                scan.unreadable = source;
            return;
        }
        scan.anySourceReadable = true;
        scan.calendars.push_back(CalendarEntry{info.absoluteFilePath(), {}, std::nullopt, {info.absoluteFilePath()}});
        scan.watchPaths.append(info.absolutePath());
    }
}

} // namespace

SourceScan scanSources(const QStringList& sources)
{
    SourceScan scan;
    QStringList folders;
    for (const QString& source : sources)
        scanSource(source, scan, folders);
    scan.watchPaths += folders;
    // Each calendar folder and each file is read once.
    QSet<QString> seenCalendars;
    std::erase_if(scan.calendars, [&](const CalendarEntry& c) {
        const QString key = QFileInfo(c.path).canonicalFilePath();
        if (seenCalendars.contains(key))
            return true;
        seenCalendars.insert(key);
        return false;
    });
    return scan;
}

} // namespace kalvix::ical
