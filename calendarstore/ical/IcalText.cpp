#include "calendarstore/ical/IcalText.h"

#include <cstring>

namespace kalvix::ical {
namespace {

bool isFold(QByteArrayView line)
{
    return !line.isEmpty() && (line[0] == ' ' || line[0] == '\t');
}

bool holdsNul(QByteArrayView text)
{
    return !text.isEmpty() && std::memchr(text.data(), 0, static_cast<std::size_t>(text.size())) != nullptr;
}

// Splits a whole line into name, parameters and value.
void splitLine(QByteArrayView text, ContentLine& line)
{
    qsizetype at = 0;
    while (at < text.size() && text[at] != ';' && text[at] != ':')
        ++at;
    line.name = text.first(at);
    if (line.tooLong || at == text.size())
        return;
    const qsizetype paramsStart = at;
    bool quoted = false;
    for (; at < text.size(); ++at) {
        const char c = text[at];
        if (c == '"')
            quoted = !quoted;
        else if (c == ':' && !quoted)
            break;
    }
    line.params = text.sliced(paramsStart, at - paramsStart);
    if (at < text.size())
        line.value = text.sliced(at + 1);
}

} // namespace

bool equalsNoCase(QByteArrayView text, QByteArrayView upper)
{
    const qsizetype size = upper.size();
    if (text.size() != size)
        return false;
    for (qsizetype i = 0; i < size; ++i) {
        char c = text[i];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if (c != upper[i])
            return false;
    }
    return true;
}

std::vector<QByteArrayView> splitItems(QByteArrayView text, char separator)
{
    std::vector<QByteArrayView> items;
    qsizetype at = 0;
    while (true) {
        const qsizetype end = text.indexOf(separator, at);
        items.push_back(text.sliced(at, (end < 0 ? text.size() : end) - at));
        if (end < 0)
            return items;
        at = end + 1;
    }
}

bool ContentLine::is(QByteArrayView upperName) const
{
    return equalsNoCase(name, upperName);
}

std::optional<QByteArrayView> ContentLine::param(QByteArrayView upperName) const
{
    qsizetype at = 0;
    while (at < params.size()) {
        // params[at] is the ';' that opens a parameter.
        qsizetype end = at + 1;
        bool quoted = false;
        while (end < params.size() && (quoted || params[end] != ';')) {
            if (params[end] == '"')
                quoted = !quoted;
            ++end;
        }
        const QByteArrayView item = params.sliced(at + 1, end - at - 1);
        const qsizetype eq = item.indexOf('=');
        if (eq > 0 && equalsNoCase(item.first(eq).trimmed(), upperName)) {
            QByteArrayView found = item.sliced(eq + 1).trimmed();
            if (found.size() >= 2 && found.front() == '"' && found.back() == '"')
                found = found.sliced(1, found.size() - 2);
            return found;
        }
        at = end;
    }
    return std::nullopt;
}

QByteArrayView LineReader::physicalLine(qsizetype at, qsizetype* next) const
{
    const qsizetype end = m_text.indexOf('\n', at);
    *next = end < 0 ? m_text.size() : end + 1;
    QByteArrayView line = m_text.sliced(at, (end < 0 ? m_text.size() : end) - at);
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

bool LineReader::next(ContentLine& line)
{
    line = ContentLine{};
    QByteArrayView first;
    // Blank lines, and continuations with no line to continue, carry nothing.
    while (m_at < m_text.size()) {
        qsizetype after = 0;
        first = physicalLine(m_at, &after);
        m_lineStart = m_at;
        m_at = after;
        if (!first.isEmpty() && !isFold(first))
            break;
        first = {};
    }
    if (first.isEmpty())
        return false;
    line.hasNul = holdsNul(first);
    qsizetype length = first.size();
    bool folded = false;
    while (m_at < m_text.size()) {
        qsizetype after = 0;
        const QByteArrayView more = physicalLine(m_at, &after);
        if (!more.isEmpty() && !isFold(more))
            break;
        m_at = after;
        if (more.isEmpty())
            continue;
        const QByteArrayView piece = more.sliced(1);
        line.hasNul = line.hasNul || holdsNul(piece);
        if (!folded) {
            folded = true;
            line.joined = first.toByteArray();
        }
        length += piece.size();
        if (length <= kMaxLineBytes)
            line.joined.append(piece);
    }
    line.tooLong = length > kMaxLineBytes;
    splitLine(folded ? QByteArrayView(line.joined) : first, line);
    return true;
}

QByteArray unescapeTextUtf8(QByteArrayView value)
{
    if (!value.contains('\\'))
        return value.toByteArray();
    QByteArray out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            const char next = value[++i];
            out += (next == 'n' || next == 'N') ? '\n' : next;
        } else {
            out += value[i];
        }
    }
    return out;
}

QString unescapeText(QByteArrayView value)
{
    return QString::fromUtf8(unescapeTextUtf8(value));
}

} // namespace kalvix::ical
