// The one reading of a key=value line in its two dialects: the cases where INI files and desktop entries
// part ways, and the ones all three file kinds rely on alike. Each row is read as bytes (INI files, the
// autostart entry) and as decoded text (desktop entries), which must agree.
#include "desktop/KeyValueLine.h"

#include <gtest/gtest.h>

using namespace kalvix;
using keyvalue::Kind;

namespace {

struct LineRow {
    const char* name;
    keyvalue::Dialect dialect;
    const char* line; // trimmed, as each file kind hands it over
    Kind kind;
    const char* key = "";
    const char* value = "";
};

void PrintTo(const LineRow& row, std::ostream* os)
{
    *os << row.name;
}

class KeyValueLine : public ::testing::TestWithParam<LineRow> {};

TEST_P(KeyValueLine, readsTheSameAsBytesAndAsText)
{
    const LineRow& row = GetParam();
    const auto bytes = keyvalue::readLine(QByteArray(row.line), row.dialect);
    EXPECT_EQ(bytes.kind, row.kind);
    EXPECT_EQ(bytes.key, QByteArray(row.key));
    EXPECT_EQ(bytes.value, QByteArray(row.value));
    const auto text = keyvalue::readLine(QString::fromUtf8(row.line), row.dialect);
    EXPECT_EQ(text.kind, row.kind);
    EXPECT_EQ(text.key, QString::fromUtf8(row.key));
    EXPECT_EQ(text.value, QString::fromUtf8(row.value));
}

using keyvalue::kDesktopEntry;
using keyvalue::kIniFile;

INSTANTIATE_TEST_SUITE_P(
    Dialects,
    KeyValueLine,
    ::testing::Values(
        LineRow{"ini_blank", kIniFile, "", Kind::blank},
        LineRow{"desktop_blank", kDesktopEntry, "", Kind::blank},
        LineRow{"ini_hash_comment", kIniFile, "#a=b", Kind::comment},
        LineRow{"ini_semicolon_comment", kIniFile, ";a=b", Kind::comment},
        LineRow{"desktop_hash_comment", kDesktopEntry, "# Exec=rm", Kind::comment},
        LineRow{"desktop_semicolon_starts_a_key", kDesktopEntry, ";a=b", Kind::entry, ";a", "b"},
        LineRow{"ini_header", kIniFile, "[General]", Kind::header},
        LineRow{"desktop_header", kDesktopEntry, "[Desktop Entry]", Kind::header},
        LineRow{"ini_unclosed_bracket_is_an_entry", kIniFile, "[a=b", Kind::entry, "[a", "b"},
        LineRow{"ini_unclosed_bracket_without_equals", kIniFile, "[General", Kind::other},
        LineRow{"desktop_unclosed_bracket_is_a_header", kDesktopEntry, "[a=b", Kind::header},
        LineRow{"header_beats_comment_marks_inside", kIniFile, "[#;]", Kind::header},
        LineRow{"blanks_around_key_and_value", kIniFile, "a \t= b c", Kind::entry, "a", "b c"},
        LineRow{
            "later_equals_stay_in_the_value", kDesktopEntry, "Exec=env A=1 app", Kind::entry, "Exec", "env A=1 app"},
        LineRow{"empty_value", kIniFile, "key=", Kind::entry, "key", ""},
        LineRow{"equals_first_is_no_entry", kIniFile, "=value", Kind::other},
        LineRow{"no_equals_is_no_entry", kDesktopEntry, "Exec", Kind::other},
        LineRow{"utf8_key_and_value", kDesktopEntry, "Name[fr]=Caf\xC3\xA9", Kind::entry, "Name[fr]", "Caf\xC3\xA9"}),
    [](const auto& row) { return std::string(row.param.name); });

} // namespace
