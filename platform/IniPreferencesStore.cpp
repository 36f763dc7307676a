#include "platform/IniPreferencesStore.h"

#include "platform/XdgDirs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QSaveFile>
#include <QTimer>

namespace kalvix {
namespace {

bool isGeneralHeader(const QByteArray& trimmed)
{
    return trimmed.compare("[General]", Qt::CaseInsensitive) == 0;
}

bool isHeader(const QByteArray& trimmed)
{
    return trimmed.startsWith('[') && trimmed.endsWith(']');
}

bool isComment(const QByteArray& trimmed)
{
    return trimmed.startsWith('#') || trimmed.startsWith(';');
}

// The key of a "key=value" line, or empty when the line is not one.
QByteArray keyOf(const QByteArray& trimmed)
{
    const qsizetype eq = trimmed.indexOf('=');
    if (eq <= 0)
        return {};
    return trimmed.left(eq).trimmed();
}

QByteArray readFile(const QString& path, bool* ok)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *ok = !f.exists();
        return {};
    }
    *ok = true;
    // A preferences file is small; anything huge is not ours to load whole.
    constexpr qint64 kLimit = 16 * 1024 * 1024;
    return f.read(kLimit);
}

} // namespace

IniPreferencesStore::IniPreferencesStore(const QString& path, QObject* parent)
    : PreferencesStore(parent)
    , m_path(path)
    , m_watcher(new QFileSystemWatcher(this))
    , m_debounce(new QTimer(this))
{
    m_debounce->setSingleShot(true);
    m_debounce->setInterval(100);
    connect(m_debounce, &QTimer::timeout, this, &IniPreferencesStore::reload);
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, &IniPreferencesStore::scheduleReload);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &IniPreferencesStore::scheduleReload);

    bool ok = false;
    m_lastText = readFile(m_path, &ok);
    replaceAll(parse(m_lastText));
    watch();
}

IniPreferencesStore::~IniPreferencesStore() = default;

QString IniPreferencesStore::defaultPath()
{
    return platform::configHome() + QStringLiteral("/kalvix/kalvix.conf");
}

void IniPreferencesStore::watch()
{
    // Watch the nearest folder that exists: an atomic save replaces the file, and the folder may be
    // created only later by another process.
    QFileInfo info(m_path);
    QDir dir = info.dir();
    while (!dir.exists() && !dir.isRoot())
        dir.setPath(QFileInfo(dir.absolutePath()).path());
    const QStringList paths = {dir.absolutePath(), m_path};
    const QStringList current = m_watcher->files() + m_watcher->directories();
    for (const QString& p : paths)
        if (!current.contains(p) && QFileInfo::exists(p))
            m_watcher->addPath(p);
}

void IniPreferencesStore::scheduleReload()
{
    m_debounce->start();
}

void IniPreferencesStore::reload()
{
    watch();
    bool ok = false;
    const QByteArray text = readFile(m_path, &ok);
    if (!ok || text == m_lastText)
        return; // unreadable for now, or our own write coming back: nothing new
    m_lastText = text;
    replaceAll(parse(text));
}

IniPreferencesStore::RawValues IniPreferencesStore::parse(const QByteArray& text)
{
    RawValues values;
    bool inGeneral = true; // lines before any header belong to [General]
    for (const QByteArray& line : text.split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed.isEmpty() || isComment(trimmed))
            continue;
        if (isHeader(trimmed)) {
            inGeneral = isGeneralHeader(trimmed);
            continue;
        }
        if (!inGeneral)
            continue;
        const QByteArray key = keyOf(trimmed);
        if (key.isEmpty())
            continue;
        const QString value = QString::fromUtf8(trimmed.mid(trimmed.indexOf('=') + 1).trimmed());
        values.insert(QString::fromUtf8(key), value); // a repeated key: the last line wins
    }
    return values;
}

QByteArray IniPreferencesStore::rewrite(const QByteArray& text, const QString& key, const std::optional<QString>& value)
{
    const QByteArray keyBytes = key.toUtf8();
    const QByteArray newLine = value ? keyBytes + '=' + value->toUtf8() : QByteArray();
    QList<QByteArray> lines = text.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();

    bool inGeneral = true;
    bool sawGeneralHeader = false;
    qsizetype generalEnd = -1; // index after the last line of the [General] group
    bool replaced = false;
    QList<QByteArray> out;
    for (const QByteArray& line : lines) {
        const QByteArray trimmed = line.trimmed();
        if (isHeader(trimmed)) {
            if (inGeneral && generalEnd < 0 && (sawGeneralHeader || !out.isEmpty()))
                generalEnd = out.size();
            inGeneral = isGeneralHeader(trimmed);
            if (inGeneral) {
                sawGeneralHeader = true;
                generalEnd = -1;
            }
            out << line;
            continue;
        }
        if (inGeneral && keyOf(trimmed) == keyBytes) {
            // Every earlier line of the key goes; the value takes the place of the first.
            if (!replaced && value)
                out << newLine;
            replaced = true;
            continue;
        }
        out << line;
    }
    if (inGeneral && generalEnd < 0)
        generalEnd = out.size();

    if (!replaced && value) {
        if (!sawGeneralHeader && out.isEmpty()) {
            out << QByteArrayLiteral("[General]") << newLine;
        } else if (!sawGeneralHeader) {
            // Keys before the first header already count as [General]; add ours among them.
            qsizetype firstHeader = 0;
            while (firstHeader < out.size() && !isHeader(out[firstHeader].trimmed()))
                ++firstHeader;
            if (firstHeader == 0) {
                out.insert(0, newLine);
                out.insert(0, QByteArrayLiteral("[General]"));
            } else
                out.insert(firstHeader, newLine);
        } else {
            // After the group's last non-blank line.
            qsizetype at = generalEnd;
            while (at > 0 && out[at - 1].trimmed().isEmpty())
                --at;
            out.insert(at, newLine);
        }
    }
    QByteArray result = out.join('\n');
    if (!result.isEmpty())
        result += '\n';
    return result;
}

bool IniPreferencesStore::persist(const RawValues& all, const QString& key)
{
    // Start from the file as it is now, so a concurrent hand edit of another key is not undone.
    bool ok = false;
    QByteArray current = readFile(m_path, &ok);
    if (!ok)
        current = m_lastText;
    const auto value = all.contains(key) ? std::optional<QString>(all.value(key)) : std::nullopt;
    const QByteArray text = rewrite(current, key, value);

    QFileInfo info(m_path);
    if (!QDir().mkpath(info.absolutePath()))
        return false;
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(text) != text.size()) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit())
        return false;
    const bool othersChanged = current != m_lastText;
    m_lastText = text;
    if (othersChanged)
        replaceAll(parse(text)); // another process's edit that the watcher has not delivered yet
    watch();
    return true;
}

} // namespace kalvix
