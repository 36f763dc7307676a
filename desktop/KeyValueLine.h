#pragma once
// What one line of a "key=value" file says, for the three kinds Kalvix reads: its INI preferences, the
// desktop entries of installed applications and its own autostart entry. Each kind splits its text into
// lines and trims them its own way (which line breaks count, byte-order marks, bytes or decoded text);
// from the trimmed line on, the reading is this one, in one of two dialects:
//
// - INI files: '#' and ';' start a comment, and only a line that is "[...]" whole is a group header.
// - Desktop entries: '#' starts a comment, and any line that starts with '[' is a group header.
//
// A header comes before a comment, a comment before an entry. An entry has a key before its first '=';
// its key and its value (everything after that '=', more '=' included) lose the blanks around them. A line
// that starts with '=' or has none is no entry.
#include <QByteArray>
#include <QLatin1Char>
#include <QString>

#include <type_traits>

namespace kalvix::keyvalue {

struct Dialect {
    const char* commentMarks;
    bool headerNeedsClosingBracket;
};

inline constexpr Dialect kIniFile{"#;", true};
inline constexpr Dialect kDesktopEntry{"#", false};

enum class Kind { blank, comment, header, entry, other };

// Text is QByteArray (files edited byte for byte) or QString (decoded before trimming).
template <typename Text> struct LineReading {
    Kind kind = Kind::blank;
    Text key;
    Text value;
};

template <typename Text> LineReading<Text> readLine(const Text& trimmed, const Dialect& dialect)
{
    static_assert(std::is_same_v<Text, QByteArray> || std::is_same_v<Text, QString>);
    const auto character = [](char c) {
        if constexpr (std::is_same_v<Text, QString>)
            return QLatin1Char(c);
        else
            return c;
    };
    LineReading<Text> reading;
    if (trimmed.isEmpty())
        return reading;
    if (trimmed.startsWith(character('[')) &&
        (!dialect.headerNeedsClosingBracket || trimmed.endsWith(character(']')))) {
        reading.kind = Kind::header;
        return reading;
    }
    for (const char* mark = dialect.commentMarks; *mark; ++mark) {
        if (trimmed.startsWith(character(*mark))) {
            reading.kind = Kind::comment;
            return reading;
        }
    }
    const qsizetype eq = trimmed.indexOf(character('='));
    if (eq <= 0) {
        reading.kind = Kind::other;
        return reading;
    }
    reading.kind = Kind::entry;
    reading.key = trimmed.left(eq).trimmed();
    reading.value = trimmed.mid(eq + 1).trimmed();
    return reading;
}

} // namespace kalvix::keyvalue
