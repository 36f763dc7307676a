#pragma once
// iCalendar content lines, read leniently and in linear time, before anything else sees the text.
//
// A logical line is a physical line with its folded continuations (lines that begin with a space or a
// tab) joined on; blank lines are skipped, also between a line and its continuations, as mainstream
// readers do. A line is split into its name, its parameter text and its value; a colon inside a quoted
// parameter value does not end the parameters. Lines that hold a NUL byte or that are longer than
// kMaxLineBytes once joined are flagged; of an over-long line only the name is read, and the joined
// text is never built beyond the limit.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>
#include <vector>

namespace kalvix::ical {

inline constexpr qsizetype kMaxLineBytes = 256 * 1024;

struct ContentLine {
    QByteArrayView name;
    QByteArrayView params; // everything between the name and the value's colon, from the first ';'
    QByteArrayView value;
    bool hasNul = false;
    bool tooLong = false;
    QByteArray joined; // the text of a folded line, which the views then point into

    // Case-insensitive comparison of the name with an upper-case name.
    bool is(QByteArrayView upperName) const;
    // The value of a parameter, without its quotes; nothing when absent.
    std::optional<QByteArrayView> param(QByteArrayView upperName) const;
};

class LineReader {
public:
    explicit LineReader(QByteArrayView text)
        : m_text(text)
    {
    }

    // The next logical line; false at the end of the text.
    bool next(ContentLine& line);
    // Where the last logical line began, and where the next physical line begins.
    qsizetype lineStart() const { return m_lineStart; }
    qsizetype position() const { return m_at; }

private:
    QByteArrayView physicalLine(qsizetype at, qsizetype* next) const;

    QByteArrayView m_text;
    qsizetype m_at = 0;
    qsizetype m_lineStart = 0;
};

// Case-insensitive comparison with an upper-case ASCII text.
bool equalsNoCase(QByteArrayView text, QByteArrayView upper);
// The items of a list separated by `separator` (empty items included).
std::vector<QByteArrayView> splitItems(QByteArrayView text, char separator);
// The text of an escaped TEXT value: "\n" is a line break, any other escaped character stands for itself.
QString unescapeText(QByteArrayView value);
QByteArray unescapeTextUtf8(QByteArrayView value);

} // namespace kalvix::ical
