#include "prefs/PreferencesStore.h"

namespace kalvix {

PreferencesStore::PreferencesStore(QObject* parent)
    : QObject(parent)
{
}

PreferencesStore::~PreferencesStore() = default;

namespace {

std::optional<bool> parseBool(const QString& text)
{
    const QString t = text.trimmed().toLower();
    if (t == u"true")
        return true;
    if (t == u"false")
        return false;
    return std::nullopt;
}

std::optional<int> parseInt(const QString& text)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok)
        return std::nullopt;
    return v;
}

} // namespace

QVariant PreferencesStore::registeredDefault(const QString& key) const
{
    std::lock_guard lock(m_mutex);
    return m_defaults.value(key);
}

std::optional<QString> PreferencesStore::rawValue(const QString& key) const
{
    std::lock_guard lock(m_mutex);
    auto it = m_values.constFind(key);
    if (it == m_values.constEnd())
        return std::nullopt;
    return *it;
}

bool PreferencesStore::contains(const QString& key) const
{
    std::lock_guard lock(m_mutex);
    return m_values.contains(key);
}

bool PreferencesStore::boolValue(const QString& key, bool fallback) const
{
    if (auto raw = rawValue(key))
        if (auto v = parseBool(*raw))
            return *v;
    const QVariant def = registeredDefault(key);
    if (def.typeId() == QMetaType::Bool)
        return def.toBool();
    return fallback;
}

int PreferencesStore::intValue(const QString& key, int fallback) const
{
    if (auto raw = rawValue(key))
        if (auto v = parseInt(*raw))
            return *v;
    const QVariant def = registeredDefault(key);
    if (def.typeId() == QMetaType::Int)
        return def.toInt();
    return fallback;
}

QString PreferencesStore::stringValue(const QString& key, const QString& fallback) const
{
    if (auto raw = rawValue(key)) {
        // A value written in list form with one quoted item reads as that item.
        if (raw->startsWith(u'"'))
            if (auto items = decodeList(*raw); items && items->size() == 1)
                return items->first();
        return *raw;
    }
    const QVariant def = registeredDefault(key);
    if (def.typeId() == QMetaType::QString)
        return def.toString();
    return fallback;
}

std::optional<QStringList> PreferencesStore::stringListValue(const QString& key) const
{
    if (auto raw = rawValue(key))
        return decodeList(*raw);
    const QVariant def = registeredDefault(key);
    if (def.typeId() == QMetaType::QStringList)
        return def.toStringList();
    return std::nullopt;
}

std::optional<QByteArray> PreferencesStore::dataValue(const QString& key) const
{
    auto raw = rawValue(key);
    if (!raw)
        return std::nullopt;
    QString text = *raw;
    // The form other INI writers use for byte data.
    if (text.startsWith(u"@ByteArray(") && text.endsWith(u')'))
        return QByteArray::fromPercentEncoding(text.mid(11, text.size() - 12).toUtf8());
    return text.toUtf8();
}

std::optional<QString> PreferencesStore::commandLineValue(const QString& key) const
{
    return rawValue(key);
}

bool PreferencesStore::setBool(const QString& key, bool value)
{
    return write(key, value ? QStringLiteral("true") : QStringLiteral("false"));
}

bool PreferencesStore::setInt(const QString& key, int value)
{
    return write(key, QString::number(value));
}

bool PreferencesStore::setString(const QString& key, const QString& value)
{
    // Quote only what would otherwise not read back unchanged.
    const bool plain = !value.isEmpty() && value.trimmed() == value && !value.startsWith(u'"') &&
                       !value.contains(u'\n') && !value.contains(u'\r');
    return write(key, plain ? value : encodeList({value}));
}

bool PreferencesStore::setStringList(const QString& key, const QStringList& value)
{
    return write(key, encodeList(value));
}

bool PreferencesStore::setData(const QString& key, const QByteArray& value)
{
    QString text = QString::fromUtf8(value);
    // Byte data that is not one line of text keeps the marker form, so it reads back unchanged.
    if (text.contains(u'\n') || text.contains(u'\r') || text.trimmed() != text || text.toUtf8() != value)
        text = QStringLiteral("@ByteArray(") + QString::fromLatin1(value.toPercentEncoding()) + u')';
    return write(key, text);
}

bool PreferencesStore::setCommandLine(const QString& key, const QString& value)
{
    if (value.contains(u'\n') || value.contains(u'\r'))
        return false;
    return write(key, value.trimmed());
}

bool PreferencesStore::remove(const QString& key)
{
    return write(key, std::nullopt);
}

bool PreferencesStore::write(const QString& key, std::optional<QString> text)
{
    RawValues all;
    {
        std::lock_guard lock(m_mutex);
        if (text)
            m_values.insert(key, *text);
        else
            m_values.remove(key);
        all = m_values;
    }
    const bool persisted = persist(all, key);
    Q_EMIT changed(key);
    return persisted;
}

void PreferencesStore::registerDefaults(const QVariantMap& defaults)
{
    std::lock_guard lock(m_mutex);
    for (auto it = defaults.constBegin(); it != defaults.constEnd(); ++it)
        m_defaults.insert(it.key(), it.value());
}

void PreferencesStore::replaceAll(const RawValues& values)
{
    QStringList differing;
    {
        std::lock_guard lock(m_mutex);
        for (auto it = values.constBegin(); it != values.constEnd(); ++it)
            if (m_values.value(it.key()) != it.value() || !m_values.contains(it.key()))
                differing << it.key();
        for (auto it = m_values.constBegin(); it != m_values.constEnd(); ++it)
            if (!values.contains(it.key()))
                differing << it.key();
        m_values = values;
    }
    for (const QString& key : differing)
        Q_EMIT changed(key);
}

PreferencesStore::RawValues PreferencesStore::snapshot() const
{
    std::lock_guard lock(m_mutex);
    return m_values;
}

QString PreferencesStore::encodeList(const QStringList& items)
{
    // Items are quoted, so names with commas, quotes or spaces survive; "" is the empty list.
    QString out;
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (i > 0)
            out += QStringLiteral(", ");
        out += u'"';
        for (QChar c : items[i]) {
            if (c == u'"' || c == u'\\')
                out += u'\\';
            if (c == u'\n')
                out += QStringLiteral("\\n");
            else if (c == u'\r')
                out += QStringLiteral("\\r");
            else
                out += c;
        }
        out += u'"';
    }
    return out;
}

std::optional<QStringList> PreferencesStore::decodeList(const QString& text)
{
    // Accepts quoted items (as written by encodeList) and bare comma-separated items (as people type).
    QStringList items;
    const QString t = text.trimmed();
    if (t.isEmpty())
        return items;
    qsizetype i = 0;
    const qsizetype n = t.size();
    while (i < n) {
        while (i < n && t[i].isSpace())
            ++i;
        QString item;
        if (i < n && t[i] == u'"') {
            ++i;
            bool closed = false;
            while (i < n) {
                const QChar c = t[i++];
                if (c == u'\\' && i < n) {
                    const QChar e = t[i++];
                    item += e == u'n' ? QChar(u'\n') : e == u'r' ? QChar(u'\r') : e;
                } else if (c == u'"') {
                    closed = true;
                    break;
                } else {
                    item += c;
                }
            }
            if (!closed)
                return std::nullopt;
            while (i < n && t[i].isSpace())
                ++i;
            if (i < n && t[i] != u',')
                return std::nullopt;
        } else {
            const qsizetype comma = t.indexOf(u',', i);
            const qsizetype end = comma < 0 ? n : comma;
            item = t.mid(i, end - i).trimmed();
            if (item.contains(u'"'))
                return std::nullopt;
            i = end;
        }
        items << item;
        if (i < n && t[i] == u',') {
            ++i;
            if (i >= n)
                return std::nullopt; // a trailing comma promises an item that is not there
        }
    }
    return items;
}

} // namespace kalvix
