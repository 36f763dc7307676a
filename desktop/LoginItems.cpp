#include "desktop/LoginItems.h"

#include "desktop/DesktopEntry.h"
#include "desktop/KeyValueLine.h"
#include "desktop/XdgDirs.h"

#include <QDir>
#include <QFileInfo>
#include <QList>

namespace kalvix {
namespace {

const QByteArray kGroup("[Desktop Entry]");
// Holds the Exec value Kalvix wrote; an Exec that differs from it was changed by the user.
const QByteArray kOwnExecKey("X-Kalvix-Exec");

// The lines of an autostart entry, edited one key of the [Desktop Entry] group at a time; every other
// line keeps its bytes.
class EntryLines {
public:
    explicit EntryLines(const QByteArray& text)
        : m_lines(text.split('\n'))
    {
        m_endsWithNewline = text.endsWith('\n');
        if (m_endsWithNewline)
            m_lines.removeLast();
    }

    std::optional<QByteArray> value(const QByteArray& key) const
    {
        std::optional<QByteArray> found;
        forEachKeyLine(key, [&](qsizetype i) {
            if (!found)
                found = readLine(i).value;
        });
        return found;
    }

    void set(const QByteArray& key, const QByteArray& value)
    {
        QList<qsizetype> at;
        forEachKeyLine(key, [&](qsizetype i) { at << i; });
        if (at.isEmpty()) {
            m_lines.insert(groupEnd(), key + '=' + value);
            return;
        }
        m_lines[at.first()] = key + '=' + value;
        for (qsizetype n = at.size() - 1; n > 0; --n)
            m_lines.removeAt(at[n]);
    }

    void remove(const QByteArray& key)
    {
        QList<qsizetype> at;
        forEachKeyLine(key, [&](qsizetype i) { at << i; });
        for (qsizetype n = at.size() - 1; n >= 0; --n)
            m_lines.removeAt(at[n]);
    }

    bool hasGroup() const { return groupStart() >= 0; }

    QByteArray text() const
    {
        QByteArray out = m_lines.join('\n');
        return m_endsWithNewline || !out.isEmpty() ? out + '\n' : out;
    }

private:
    keyvalue::LineReading<QByteArray> readLine(qsizetype i) const
    {
        return keyvalue::readLine(m_lines[i].trimmed(), keyvalue::kDesktopEntry);
    }

    qsizetype groupStart() const
    {
        for (qsizetype i = 0; i < m_lines.size(); ++i)
            if (m_lines[i].trimmed() == kGroup)
                return i;
        return -1;
    }

    // After the group's last non-blank line.
    qsizetype groupEnd() const
    {
        qsizetype i = groupStart() + 1;
        while (i < m_lines.size() && readLine(i).kind != keyvalue::Kind::header)
            ++i;
        while (i > 0 && readLine(i - 1).kind == keyvalue::Kind::blank)
            --i;
        return i;
    }

    template <typename Visit> void forEachKeyLine(const QByteArray& key, Visit visit) const
    {
        const qsizetype start = groupStart();
        if (start < 0)
            return;
        for (qsizetype i = start + 1; i < m_lines.size(); ++i) {
            const auto reading = readLine(i);
            if (reading.kind == keyvalue::Kind::header)
                return;
            if (reading.kind == keyvalue::Kind::entry && reading.key == key)
                visit(i);
        }
    }

    QList<QByteArray> m_lines;
    bool m_endsWithNewline = false;
};

// As GLib reads desktop-entry booleans, which is how sessions read these keys: "1" and "0" count too.
bool isTurnedOff(const EntryLines& entry)
{
    const QByteArray hidden = entry.value("Hidden").value_or(QByteArray());
    const QByteArray enabled = entry.value("X-GNOME-Autostart-enabled").value_or(QByteArray());
    return hidden == "true" || hidden == "1" || enabled == "false" || enabled == "0";
}

// The entry's text. Earlier versions wrote it without X-Kalvix-Exec and with a generic calendar icon;
// that exact text still counts as Kalvix's own.
QByteArray entryText(const QString& exec, bool earlierVersion)
{
    const QByteArray execBytes = exec.toUtf8();
    QByteArray text = "[Desktop Entry]\n"
                      "Type=Application\n"
                      "Name=Kalvix\n"
                      "Comment=Clock and calendar in the status area\n"
                      "Exec=" +
                      execBytes + "\n" + (earlierVersion ? "Icon=x-office-calendar\n" : "Icon=kalvix\n") +
                      "Terminal=false\n"
                      "X-GNOME-Autostart-enabled=true\n";
    if (!earlierVersion)
        text += kOwnExecKey + '=' + execBytes + '\n';
    return text;
}

// The program an Exec value starts: its first argument after the desktop-entry escapes.
QString programOf(const QByteArray& exec)
{
    QString text;
    const QString raw = QString::fromUtf8(exec);
    for (qsizetype i = 0; i < raw.size(); ++i) {
        if (raw[i] != u'\\' || i + 1 == raw.size()) {
            text += raw[i];
            continue;
        }
        const QChar e = raw[++i];
        text += e == u's' ? QChar(u' ') : e == u'n' ? QChar(u'\n') : e == u't' ? QChar(u'\t') : e;
    }
    const std::optional<QStringList> arguments = splitArguments(text);
    if (!arguments || arguments->isEmpty())
        return {};
    QString program = arguments->first();
    return program.replace(QStringLiteral("%%"), QStringLiteral("%"));
}

} // namespace

XdgAutostart::XdgAutostart(QString entryPath, QString runningProgram, QString searchPath)
    : m_entryPath(std::move(entryPath))
    , m_runningProgram(std::move(runningProgram))
    , m_searchPath(std::move(searchPath))
{
}

QString XdgAutostart::defaultEntryPath()
{
    const QString config = configHome();
    return config.isEmpty() ? QString() : config + QStringLiteral("/autostart/kalvix.desktop");
}

QString XdgAutostart::execValue(const QString& executable)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`=%");
    bool needsQuotes = false;
    for (QChar c : executable)
        needsQuotes = needsQuotes || reserved.contains(c);
    QString value;
    for (QChar c : executable) {
        if (needsQuotes && (c == u'"' || c == u'`' || c == u'$' || c == u'\\'))
            value += u'\\';
        value += c;
        if (c == u'%')
            value += u'%'; // a literal percent sign is doubled in Exec
    }
    if (needsQuotes)
        value = u'"' + value + u'"';
    // The desktop-entry format itself escapes backslashes once more in string values.
    value.replace(u'\\', QStringLiteral("\\\\"));
    return value;
}

QString XdgAutostart::launchProgram() const
{
    const QFileInfo running(m_runningProgram);
    const QString name = running.fileName();
    for (const QString& folder : m_searchPath.split(u':', Qt::SkipEmptyParts)) {
        if (!QDir::isAbsolutePath(folder))
            continue;
        const QFileInfo candidate(folder + u'/' + name);
        if (!candidate.isFile() || !candidate.isExecutable())
            continue;
        // The session starts the first one it finds: only that one may stand for the running program.
        if (candidate.canonicalFilePath() == running.canonicalFilePath())
            return name;
        break;
    }
    return running.absoluteFilePath();
}

bool XdgAutostart::programExists(const QString& program) const
{
    if (program.isEmpty())
        return false;
    if (program.contains(u'/')) {
        const QFileInfo info(program);
        return info.isFile() && info.isExecutable();
    }
    for (const QString& folder : m_searchPath.split(u':', Qt::SkipEmptyParts)) {
        const QFileInfo candidate(folder + u'/' + program);
        if (QDir::isAbsolutePath(folder) && candidate.isFile() && candidate.isExecutable())
            return true;
    }
    return false;
}

QByteArray XdgAutostart::newEntryText() const
{
    return entryText(execValue(launchProgram()), false);
}

bool XdgAutostart::write(const QByteArray& text, const FileStamp& expected) const
{
    if (!QDir().mkpath(QFileInfo(m_entryPath).absolutePath()))
        return false;
    return replaceUserFile(m_entryPath, text, expected, m_fault).status == WriteStatus::ok;
}

bool XdgAutostart::registerApp()
{
    if (m_entryPath.isEmpty() || m_runningProgram.isEmpty())
        return false;
    const UserFileRead read = readUserFile(m_entryPath);
    if (read.status == ReadStatus::absent)
        return write(newEntryText(), read.stamp);
    return read.status == ReadStatus::ok; // the user's entry, whatever it says
}

bool XdgAutostart::unregisterApp()
{
    return setEnabled(false);
}

bool XdgAutostart::isEnabled() const
{
    if (m_entryPath.isEmpty())
        return false;
    const UserFileRead read = readUserFile(m_entryPath);
    if (read.status != ReadStatus::ok)
        return false;
    const EntryLines entry(read.bytes);
    return entry.value("Exec").has_value() && !isTurnedOff(entry);
}

bool XdgAutostart::setEnabled(bool enabled)
{
    if (m_entryPath.isEmpty())
        return false;
    const UserFileRead read = readUserFile(m_entryPath);
    if (read.status == ReadStatus::absent)
        return !enabled || (!m_runningProgram.isEmpty() && write(newEntryText(), read.stamp));
    if (read.status != ReadStatus::ok)
        return false; // never rewrite what could not be read whole
    EntryLines entry(read.bytes);
    if (!entry.hasGroup())
        return enabled ? write(newEntryText(), read.stamp) : true; // not an entry any session would start
    if (!entry.value("Exec")) {
        if (!enabled)
            return true;
        const QByteArray exec = execValue(launchProgram()).toUtf8();
        entry.set("Exec", exec);
        entry.set(kOwnExecKey, exec);
    }
    if (enabled) {
        entry.remove("Hidden");
        if (entry.value("X-GNOME-Autostart-enabled"))
            entry.set("X-GNOME-Autostart-enabled", "true");
    } else {
        entry.set("Hidden", "true");
    }
    QByteArray text = entry.text();
    if (enabled)
        text = repointed(text).value_or(text);
    return text == read.bytes || write(text, read.stamp);
}

bool XdgAutostart::refresh()
{
    if (m_entryPath.isEmpty() || m_runningProgram.isEmpty())
        return true;
    const UserFileRead read = readUserFile(m_entryPath);
    if (read.status == ReadStatus::absent)
        return true;
    if (read.status != ReadStatus::ok)
        return false;
    if (isTurnedOff(EntryLines(read.bytes)))
        return true; // the user's choice, whatever it starts
    const std::optional<QByteArray> text = repointed(read.bytes);
    return !text || write(*text, read.stamp);
}

std::optional<QByteArray> XdgAutostart::repointed(const QByteArray& text) const
{
    EntryLines entry(text);
    const std::optional<QByteArray> exec = entry.value("Exec");
    if (!exec || programExists(programOf(*exec)))
        return std::nullopt;
    if (entry.value(kOwnExecKey) == exec) {
        const QByteArray current = execValue(launchProgram()).toUtf8();
        entry.set("Exec", current);
        entry.set(kOwnExecKey, current);
        return entry.text();
    }
    if (text == entryText(QString::fromUtf8(*exec), true))
        return newEntryText();
    return std::nullopt; // the user's own Exec: theirs to fix
}

} // namespace kalvix
