#include "desktop/DesktopEntry.h"

#include "desktop/KeyValueLine.h"
#include "desktop/XdgDirs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace kalvix {
namespace {

// Undoes the escapes of a desktop-entry string value.
QString unescapeValue(const QString& raw)
{
    QString out;
    out.reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const QChar c = raw[i];
        if (c != u'\\' || i + 1 == raw.size()) {
            out += c;
            continue;
        }
        const QChar next = raw[++i];
        if (next == u's')
            out += u' ';
        else if (next == u'n')
            out += u'\n';
        else if (next == u't')
            out += u'\t';
        else if (next == u'r')
            out += u'\r';
        else if (next == u'\\')
            out += u'\\';
        else
            out += QString(c) + next; // not a value escape: left for the Exec quoting level
    }
    return out;
}

bool isFileCode(const QString& arg)
{
    return arg == u"%f" || arg == u"%F" || arg == u"%u" || arg == u"%U";
}

bool isForwardingMarker(const QString& arg)
{
    return arg == u"@@" || arg == u"@@u" || arg == u"@@f";
}

// Expands the field codes inside one argument that is not a lone file or icon code.
QString expandInline(const QString& arg, const DesktopEntry& entry, const QStringList& targets)
{
    QString out;
    for (qsizetype i = 0; i < arg.size(); ++i) {
        if (arg[i] != u'%' || i + 1 == arg.size()) {
            out += arg[i];
            continue;
        }
        const QChar code = arg[++i];
        if (code == u'%')
            out += u'%';
        else if (code == u'c')
            out += entry.name;
        else if (code == u'k')
            out += entry.filePath;
        else if ((code == u'f' || code == u'u' || code == u'F' || code == u'U') && !targets.isEmpty())
            out += targets.first();
        // Every other code (%i inside text, deprecated %d %D %n %N %v %m, unknown ones) expands to nothing.
    }
    return out;
}

// One argument of Exec, expanded: lone file and icon codes become zero or more arguments.
QStringList expandArgument(const QString& arg, const DesktopEntry& entry, const QStringList& targets)
{
    if (arg == u"%F" || arg == u"%U")
        return targets;
    if (arg == u"%f" || arg == u"%u")
        return targets.isEmpty() ? QStringList() : QStringList{targets.first()};
    if (arg == u"%i")
        return entry.icon.isEmpty() ? QStringList() : QStringList{QStringLiteral("--icon"), entry.icon};
    const QString expanded = expandInline(arg, entry, targets);
    // An argument made only of codes that expand to nothing vanishes; a quoted "" in Exec stays.
    if (expanded.isEmpty() && !arg.isEmpty())
        return {};
    return {expanded};
}

QString findIn(const QString& dir, const QString& rest)
{
    const QString direct = dir + u'/' + rest;
    if (QFileInfo(direct).isFile())
        return direct;
    for (qsizetype i = rest.indexOf(u'-'); i > 0; i = rest.indexOf(u'-', i + 1)) {
        const QString sub = dir + u'/' + rest.left(i);
        if (QFileInfo(sub).isDir()) {
            const QString found = findIn(sub, rest.mid(i + 1));
            if (!found.isEmpty())
                return found;
        }
    }
    return {};
}

} // namespace

std::optional<DesktopEntry> DesktopEntry::load(const QString& filePath, const QString& id)
{
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return std::nullopt;
    DesktopEntry entry;
    entry.id = id;
    entry.filePath = filePath;
    QString type;
    bool hidden = false;
    bool inEntry = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        const auto reading = keyvalue::readLine(line, keyvalue::kDesktopEntry);
        if (reading.kind == keyvalue::Kind::header) {
            if (inEntry)
                break; // the keys that matter are all in the first group
            inEntry = line == u"[Desktop Entry]";
            continue;
        }
        if (!inEntry || reading.kind != keyvalue::Kind::entry)
            continue;
        const QString& key = reading.key;
        const QString value = unescapeValue(reading.value);
        if (key == u"Type")
            type = value;
        else if (key == u"Hidden")
            hidden = value == u"true" || value == u"1"; // GLib reads "1" as true
        else if (key == u"Name")
            entry.name = value;
        else if (key == u"Icon")
            entry.icon = value;
        else if (key == u"Exec")
            entry.exec = value;
        else if (key == u"Path")
            entry.workingDirectory = value;
    }
    if (type != u"Application" || hidden || entry.exec.trimmed().isEmpty())
        return std::nullopt;
    return entry;
}

std::optional<QStringList> DesktopEntry::command(const QStringList& targets) const
{
    const std::optional<QStringList> args = kalvix::splitArguments(exec);
    if (!args)
        return std::nullopt;
    QStringList out;
    for (const QString& arg : *args)
        out += expandArgument(arg, *this, targets);
    if (out.isEmpty() || out.first().isEmpty())
        return std::nullopt;
    return out;
}

std::optional<QStringList> DesktopEntry::commandWithOptions(const QStringList& options) const
{
    const std::optional<QStringList> args = kalvix::splitArguments(exec);
    if (!args)
        return std::nullopt;
    QStringList out;
    bool placed = false;
    for (const QString& arg : *args) {
        if (isForwardingMarker(arg))
            continue;
        if (isFileCode(arg)) {
            if (!placed)
                out += options;
            placed = true;
            continue;
        }
        out += expandArgument(arg, *this, {});
    }
    if (!placed)
        out += options;
    if (out.isEmpty() || out.first().isEmpty())
        return std::nullopt;
    return out;
}

QString DesktopEntry::programName() const
{
    const std::optional<QStringList> args = kalvix::splitArguments(exec);
    if (!args)
        return {};
    qsizetype i = 0;
    if (i < args->size() && QFileInfo(args->at(i)).fileName() == u"env") {
        ++i;
        while (i < args->size() && (args->at(i).contains(u'=') || args->at(i).startsWith(u'-')))
            ++i;
    }
    return i < args->size() ? QFileInfo(args->at(i)).fileName() : QString();
}

std::optional<QStringList> splitArguments(const QString& text)
{
    QStringList args;
    QString current;
    bool inArgument = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u' ' || c == u'\t' || c == u'\n' || c == u'\r') {
            if (inArgument)
                args += current;
            current.clear();
            inArgument = false;
            continue;
        }
        inArgument = true;
        if (c == u'\'') {
            const qsizetype end = text.indexOf(u'\'', i + 1);
            if (end < 0)
                return std::nullopt;
            current += text.mid(i + 1, end - i - 1);
            i = end;
        } else if (c == u'"') {
            for (++i;; ++i) {
                if (i >= text.size())
                    return std::nullopt;
                const QChar q = text[i];
                if (q == u'"')
                    break;
                if (q == u'\\' && i + 1 < text.size()) {
                    const QChar next = text[i + 1];
                    if (next == u'"' || next == u'`' || next == u'$' || next == u'\\') {
                        current += next;
                        ++i;
                        continue;
                    }
                }
                current += q;
            }
        } else if (c == u'\\') {
            if (i + 1 >= text.size())
                return std::nullopt;
            current += text[++i];
        } else {
            current += c;
        }
    }
    if (inArgument)
        args += current;
    return args;
}

QStringList applicationDirs()
{
    QStringList dirs;
    dirs += dataHome() + QStringLiteral("/applications");
    QString system = qEnvironmentVariable("XDG_DATA_DIRS");
    if (system.isEmpty())
        system = QStringLiteral("/usr/local/share:/usr/share");
    for (const QString& dir : system.split(u':', Qt::SkipEmptyParts)) {
        if (QDir::isAbsolutePath(dir))
            dirs += dir + QStringLiteral("/applications");
    }
    return dirs;
}

QString findDesktopFile(const QString& id, const QStringList& dirs)
{
    if (!id.endsWith(QStringLiteral(".desktop")) || id.contains(u'/') || id.startsWith(u'.'))
        return {};
    for (const QString& dir : dirs) {
        const QString found = findIn(dir, id);
        if (!found.isEmpty())
            return found;
    }
    return {};
}

std::optional<QString> defaultApplication(const QString& mimeType)
{
    QProcess query;
    query.setProcessChannelMode(QProcess::SeparateChannels);
    query.setStandardInputFile(QProcess::nullDevice());
    query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"), mimeType});
    if (!query.waitForStarted(5000))
        return std::nullopt;
    if (!query.waitForFinished(5000)) {
        query.kill();
        query.waitForFinished(1000);
        return std::nullopt;
    }
    if (query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0)
        return std::nullopt;
    const QString id = QString::fromUtf8(query.readAllStandardOutput()).section(u'\n', 0, 0).trimmed();
    if (id.isEmpty())
        return std::nullopt;
    return id;
}

} // namespace kalvix
