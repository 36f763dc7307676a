// libFuzzer target: any bytes as a preferences file through the reader and the line rewriter, and any
// text through the list decoder. Nothing may crash; a rewrite must keep every line it does not own,
// leave every other key's value as it was, and read back the value it set.
#include "prefs/IniText.h"
#include "prefs/PreferencesStore.h"

#include <QByteArray>
#include <QList>
#include <QRegularExpression>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <optional>

using namespace kalvix;

namespace {

const QByteArray kByteOrderMark("\xEF\xBB\xBF");

void check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

// The lines that say something, split at LF, CRLF and lone CR, independently of IniText. Byte-order
// marks at the start of a line are not content (the reader skips them on every line), and a line that
// is empty without them says nothing: a rewrite may turn a line of marks alone into the file's own mark
// or give it a line break. Blank lines are kept as they are by IniText's own tests.
QList<QByteArray> lineContents(QByteArray text)
{
    text.replace("\r\n", "\n");
    text.replace('\r', '\n');
    QList<QByteArray> contents;
    for (QByteArray line : text.split('\n')) {
        while (line.startsWith(kByteOrderMark))
            line.remove(0, kByteOrderMark.size());
        if (!line.isEmpty())
            contents << line;
    }
    return contents;
}

bool isLineOfKey(const QByteArray& line, const QByteArray& key)
{
    const QByteArray trimmed = line.trimmed();
    const qsizetype eq = trimmed.indexOf('=');
    if (eq <= 0)
        return false;
    QByteArray name = trimmed.left(eq).trimmed();
    while (name.startsWith(kByteOrderMark))
        name.remove(0, kByteOrderMark.size());
    return name == key;
}

QList<QByteArray> linesNotOf(const QByteArray& text, const QByteArray& key)
{
    QList<QByteArray> kept;
    for (const QByteArray& line : lineContents(text))
        if (!isLineOfKey(line, key))
            kept << line;
    return kept;
}

void checkRewrite(const QByteArray& text,
                  const IniText::Values& before,
                  const QString& key,
                  const std::optional<QString>& value)
{
    const QByteArray after = IniText::rewrite(text, key, value);
    const IniText::Values read = IniText::parse(after);
    for (auto it = before.constBegin(); it != before.constEnd(); ++it)
        if (it.key() != key)
            check(read.value(it.key()) == it.value());
    check(read.size() == before.size() - (before.contains(key) ? 1 : 0) + (value ? 1 : 0));
    check(value ? read.value(key) == QString::fromUtf8(value->toUtf8().trimmed()) : !read.contains(key));

    QList<QByteArray> kept = linesNotOf(after, key.toUtf8());
    const QList<QByteArray> original = linesNotOf(text, key.toUtf8());
    if (kept.size() == original.size() + 1) // a [General] header may come with a new key
        kept.removeOne(QByteArrayLiteral("[General]"));
    check(kept == original);
    check(!text.startsWith(kByteOrderMark) || after.startsWith(kByteOrderMark));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 256 * 1024)
        return 0;
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const IniText::Values before = IniText::parse(text);
    (void)IniText::lineEnding(text);

    // Keys Kalvix writes are identifiers; the file may hold any of them, or none.
    static const QRegularExpression identifier(QStringLiteral("^[A-Za-z0-9_.-]+$"));
    QStringList keys{QStringLiteral("showSeconds"), QStringLiteral("worldClockCities")};
    for (const QString& key : before.keys())
        if (identifier.match(key).hasMatch() && keys.size() < 6)
            keys << key;
    QString value = QString::fromUtf8(text.left(24));
    value.remove(u'\n');
    value.remove(u'\r');
    for (const QString& key : keys) {
        checkRewrite(text, before, key, value);
        checkRewrite(text, before, key, PreferencesStore::encodeList({value, key}));
        checkRewrite(text, before, key, std::nullopt);
    }

    // Whatever the list decoder accepts is written back to the same items.
    if (const std::optional<QStringList> items = PreferencesStore::decodeList(QString::fromUtf8(text)))
        check(PreferencesStore::decodeList(PreferencesStore::encodeList(*items)) == items);
    return 0;
}
