#include "prefs/IniText.h"

#include "desktop/KeyValueLine.h"

#include <QList>

namespace kalvix::IniText {
namespace {

const QByteArray kByteOrderMark("\xEF\xBB\xBF");

struct Line {
    QByteArray content;
    QByteArray ending; // "\n", "\r\n", "\r", or empty for a last line without one
};

QList<Line> splitLines(const QByteArray& text)
{
    QList<Line> lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = text[i];
        if (c != '\n' && c != '\r')
            continue;
        const qsizetype endingSize = c == '\r' && i + 1 < n && text[i + 1] == '\n' ? 2 : 1;
        lines.append({text.mid(start, i - start), text.mid(i, endingSize)});
        i += endingSize - 1;
        start = i + 1;
    }
    if (start < n)
        lines.append({text.mid(start), QByteArray()});
    return lines;
}

// What a line says: without the byte-order marks before it and the blanks around it. A mark can start
// any line (files pasted together); reading it the same on every line means a removal that brings such
// a line to the top of the file changes nothing the reader sees.
QByteArray meaningOf(const QByteArray& content)
{
    QByteArray trimmed = content.trimmed();
    while (trimmed.startsWith(kByteOrderMark))
        trimmed = trimmed.mid(kByteOrderMark.size()).trimmed();
    return trimmed;
}

QByteArray withoutByteOrderMark(const QByteArray& text, bool* had)
{
    *had = text.startsWith(kByteOrderMark);
    return *had ? text.mid(kByteOrderMark.size()) : text;
}

bool isGeneralHeader(const QByteArray& trimmed)
{
    return trimmed.compare("[General]", Qt::CaseInsensitive) == 0;
}

bool isHeader(const QByteArray& trimmed)
{
    return keyvalue::readLine(trimmed, keyvalue::kIniFile).kind == keyvalue::Kind::header;
}

// The key of a "key=value" line (as meaningOf gives it), or empty when the line is not one.
QByteArray keyOf(const QByteArray& trimmed)
{
    return keyvalue::readLine(trimmed, keyvalue::kIniFile).key;
}

// Where a new line of the [General] group goes when the key has none yet, and whether a [General]
// header has to come with it.
struct Insertion {
    qsizetype at = 0;
    bool withHeader = false;
};

Insertion insertionPoint(const QList<Line>& lines)
{
    bool inGeneral = true; // lines before any header belong to [General]
    bool sawGeneralHeader = false;
    qsizetype generalEnd = -1; // index after the last line of the group
    qsizetype firstHeader = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray trimmed = meaningOf(lines[i].content);
        if (!isHeader(trimmed))
            continue;
        if (firstHeader < 0)
            firstHeader = i;
        if (inGeneral && generalEnd < 0 && (sawGeneralHeader || i > 0))
            generalEnd = i;
        inGeneral = isGeneralHeader(trimmed);
        if (inGeneral) {
            sawGeneralHeader = true;
            generalEnd = -1;
        }
    }
    if (inGeneral && generalEnd < 0)
        generalEnd = lines.size();
    if (lines.isEmpty() || (!sawGeneralHeader && firstHeader == 0))
        return {0, true};
    if (!sawGeneralHeader) // keys before the first header already count as [General]
        return {firstHeader < 0 ? lines.size() : firstHeader, false};
    qsizetype at = generalEnd; // after the group's last non-blank line
    while (at > 0 && meaningOf(lines[at - 1].content).isEmpty())
        --at;
    return {at, false};
}

QByteArray join(const QList<Line>& lines, bool byteOrderMark)
{
    QByteArray out = byteOrderMark ? kByteOrderMark : QByteArray();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        out += lines[i].content;
        // A lone CR that a removal or an insertion put before an empty LF line would read as one CRLF
        // with it, and the empty line would be gone.
        const bool mergesWithNext = lines[i].ending == "\r" && i + 1 < lines.size() && lines[i + 1].content.isEmpty() &&
                                    lines[i + 1].ending.startsWith('\n');
        out += mergesWithNext ? QByteArrayLiteral("\r\n") : lines[i].ending;
    }
    return out;
}

} // namespace

QByteArray lineEnding(const QByteArray& text)
{
    const qsizetype i = text.indexOf('\n');
    const qsizetype r = text.indexOf('\r');
    if (r >= 0 && (i < 0 || r < i))
        return r + 1 < text.size() && text[r + 1] == '\n' ? QByteArrayLiteral("\r\n") : QByteArrayLiteral("\r");
    return QByteArrayLiteral("\n");
}

Values parse(const QByteArray& text)
{
    Values values;
    bool bom = false;
    bool inGeneral = true;
    for (const Line& line : splitLines(withoutByteOrderMark(text, &bom))) {
        const QByteArray trimmed = meaningOf(line.content);
        const auto reading = keyvalue::readLine(trimmed, keyvalue::kIniFile);
        if (reading.kind == keyvalue::Kind::header) {
            inGeneral = isGeneralHeader(trimmed);
            continue;
        }
        if (inGeneral && reading.kind == keyvalue::Kind::entry)
            values.insert(QString::fromUtf8(reading.key), QString::fromUtf8(reading.value));
    }
    return values;
}

QByteArray rewrite(const QByteArray& text, const QString& key, const std::optional<QString>& value)
{
    bool bom = false;
    const QList<Line> lines = splitLines(withoutByteOrderMark(text, &bom));
    const QByteArray eol = lineEnding(text);
    const QByteArray keyBytes = key.toUtf8();
    const QByteArray newLine = value ? keyBytes + '=' + value->toUtf8() : QByteArray();

    QList<Line> out;
    out.reserve(lines.size() + 2);
    bool inGeneral = true;
    bool replaced = false;
    for (const Line& line : lines) {
        const QByteArray trimmed = meaningOf(line.content);
        if (isHeader(trimmed))
            inGeneral = isGeneralHeader(trimmed);
        else if (inGeneral && keyOf(trimmed) == keyBytes) {
            if (!replaced && value) // the value takes the place of the key's first line
                out.append({newLine, line.ending});
            replaced = true;
            continue;
        }
        out.append(line);
    }
    if (replaced || !value)
        return join(out, bom);

    const Insertion insertion = insertionPoint(out);
    if (insertion.at > 0 && out[insertion.at - 1].ending.isEmpty())
        out[insertion.at - 1].ending = eol;
    out.insert(insertion.at, {newLine, eol});
    if (insertion.withHeader)
        out.insert(insertion.at, {QByteArrayLiteral("[General]"), eol});
    return join(out, bom);
}

} // namespace kalvix::IniText
