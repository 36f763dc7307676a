#pragma once
// The text of an INI preferences file, as people write it: keys of the [General] group (and lines
// before any header, which belong to it), one "key=value" a line. Lines end in LF, CRLF or a lone CR,
// in any mix; a UTF-8 byte-order mark is allowed before the first line (and ignored before any key).
// Comments start with # or ;.
//
// rewrite() owns exactly the [General] lines of the one key it sets: every other line keeps its bytes
// and its line ending, and a line Kalvix adds ends the way the file's first line does.
#include <QByteArray>
#include <QMap>
#include <QString>

#include <optional>

namespace kalvix::IniText {

using Values = QMap<QString, QString>;

// The [General] key values; malformed lines are skipped and a repeated key's last line wins. Values
// are the text after the first '=' with surrounding blanks removed.
Values parse(const QByteArray& text);

// The text with `key` set to `value` (every earlier line of the key removed, the value in place of
// the first), or with every line of the key removed when `value` is nothing. `value` must not hold a
// line break; the store's encodings never produce one.
QByteArray rewrite(const QByteArray& text, const QString& key, const std::optional<QString>& value);

// The line ending the file uses ("\n" when it has none yet).
QByteArray lineEnding(const QByteArray& text);

} // namespace kalvix::IniText
