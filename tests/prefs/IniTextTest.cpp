#include "prefs/IniText.h"
#include "tests/support/QtPrinters.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <optional>

using namespace kalvix;

namespace {

struct RewriteRow {
    const char* name;
    QByteArray before;
    const char* key;
    std::optional<const char*> value; // nullopt: the key is removed
    QByteArray after;
};

template <std::size_t N> QByteArray bytes(const char (&text)[N])
{
    return QByteArray(text, N - 1); // with the NUL bytes inside
}

void PrintTo(const RewriteRow& row, std::ostream* os)
{
    *os << row.name;
}

class IniRewrite : public ::testing::TestWithParam<RewriteRow> {};

} // namespace

TEST(IniText, parseKeepsGeneralKeysAndSkipsGarbage)
{
    const auto values = IniText::parse("showSeconds = true\n"
                                       "garbage line without equals\n"
                                       "=novalue\n"
                                       "; comment=ignored\n"
                                       "[Other]\n"
                                       "showYear=false\n"
                                       "[General]\n"
                                       "timeStyle=1\n"
                                       "timeStyle=2\n");
    EXPECT_EQ(values.value(QStringLiteral("showSeconds")), QStringLiteral("true"));
    EXPECT_FALSE(values.contains(QStringLiteral("showYear")));
    EXPECT_EQ(values.value(QStringLiteral("timeStyle")), QStringLiteral("2"));
    EXPECT_EQ(values.size(), 2);
}

TEST(IniText, everyLineEndingIsReadTheSame)
{
    const IniText::Values expected{{QStringLiteral("showYear"), QStringLiteral("false")},
                                   {QStringLiteral("timeStyle"), QStringLiteral("2")}};
    for (const QByteArray& text : {QByteArray("[General]\nshowYear=false\ntimeStyle=2\n"),
                                   QByteArray("[General]\r\nshowYear=false\r\ntimeStyle=2\r\n"),
                                   QByteArray("[General]\rshowYear=false\rtimeStyle=2\r"),
                                   QByteArray("[General]\r\nshowYear=false\rtimeStyle=2"),
                                   QByteArray("\xEF\xBB\xBFshowYear=false\ntimeStyle=2\n")})
        EXPECT_EQ(IniText::parse(text), expected) << text.toStdString();
}

// A mark that starts a later line (files pasted together) reads as it would at the top of the file, so
// removing the lines before it cannot move a group header or a key into another group.
TEST(IniText, byteOrderMarkOnAnyLineIsSkipped)
{
    const QByteArray text("a=1\n\xEF\xBB\xBF[Other]\nb=2\n");
    EXPECT_EQ(IniText::parse(text), (IniText::Values{{QStringLiteral("a"), QStringLiteral("1")}}));
    const QByteArray removed = IniText::rewrite(text, QStringLiteral("a"), std::nullopt);
    EXPECT_EQ(removed, QByteArray("\xEF\xBB\xBF[Other]\nb=2\n"));
    EXPECT_TRUE(IniText::parse(removed).isEmpty());
}

TEST(IniText, lineEndingIsTheFirstLinesOrLf)
{
    EXPECT_EQ(IniText::lineEnding("a=1\r\nb=2\n"), QByteArray("\r\n"));
    EXPECT_EQ(IniText::lineEnding("a=1\rb=2\r\n"), QByteArray("\r"));
    EXPECT_EQ(IniText::lineEnding("a=1\nb=2\r\n"), QByteArray("\n"));
    EXPECT_EQ(IniText::lineEnding("a=1"), QByteArray("\n"));
    EXPECT_EQ(IniText::lineEnding(QByteArray()), QByteArray("\n"));
}

TEST_P(IniRewrite, changesOnlyTheKeysLines)
{
    const RewriteRow& row = GetParam();
    const std::optional<QString> value =
        row.value ? std::optional<QString>(QString::fromUtf8(*row.value)) : std::nullopt;
    EXPECT_EQ(IniText::rewrite(row.before, QString::fromUtf8(row.key), value), row.after);
}

INSTANTIATE_TEST_SUITE_P(
    Texts,
    IniRewrite,
    ::testing::Values(
        RewriteRow{"replaces_in_place",
                   "# my settings\n[General]\nshowSeconds=false\nbogus line\n\n[Other]\nx=1\n",
                   "showSeconds",
                   "true",
                   "# my settings\n[General]\nshowSeconds=true\nbogus line\n\n[Other]\nx=1\n"},
        RewriteRow{"adds_after_the_groups_last_line",
                   "# my settings\n[General]\nshowSeconds=false\nbogus line\n\n[Other]\nx=1\n",
                   "timeStyle",
                   "2",
                   "# my settings\n[General]\nshowSeconds=false\nbogus line\ntimeStyle=2\n\n[Other]\nx=1\n"},
        RewriteRow{"removes_every_line_of_the_key",
                   "[General]\nshowSeconds=false\na=1\nshowSeconds=true\n",
                   "showSeconds",
                   std::nullopt,
                   "[General]\na=1\n"},
        RewriteRow{"repeated_key_becomes_one_line", "[General]\nk=1\na=1\nk=2\n", "k", "3", "[General]\nk=3\na=1\n"},
        RewriteRow{"empty_file_gets_a_group", "", "a", "b", "[General]\na=b\n"},
        RewriteRow{"group_goes_before_other_groups", "[Other]\nx=1\n", "a", "b", "[General]\na=b\n[Other]\nx=1\n"},
        RewriteRow{"keys_before_any_header_are_general", "x=1\n[Other]\ny=2\n", "a", "b", "x=1\na=b\n[Other]\ny=2\n"},
        RewriteRow{"same_key_in_another_group_untouched",
                   "[Other]\na=1\n[General]\nb=2\n",
                   "a",
                   "9",
                   "[Other]\na=1\n[General]\nb=2\na=9\n"},
        RewriteRow{"comment_that_looks_like_the_key_stays", "[General]\n;a=1\n", "a", "2", "[General]\n;a=1\na=2\n"},
        RewriteRow{"crlf_file_stays_crlf",
                   "[General]\r\nshowYear=false\r\n",
                   "showSeconds",
                   "true",
                   "[General]\r\nshowYear=false\r\nshowSeconds=true\r\n"},
        RewriteRow{"crlf_replacement_keeps_its_ending",
                   "[General]\r\nshowYear=false\r\nx=1\r\n",
                   "showYear",
                   "true",
                   "[General]\r\nshowYear=true\r\nx=1\r\n"},
        RewriteRow{"cr_only_file_stays_cr",
                   "[General]\rshowYear=false\rtimeStyle=2\r",
                   "timeStyle",
                   "1",
                   "[General]\rshowYear=false\rtimeStyle=1\r"},
        RewriteRow{
            "mixed_endings_kept_line_by_line", "[General]\r\na=1\nb=2\r", "c", "3", "[General]\r\na=1\nb=2\rc=3\r\n"},
        RewriteRow{"cr_line_before_an_empty_lf_line_stays_two_lines",
                   "[General]\ra=1\rk=1\n\n[Other]\r",
                   "k",
                   std::nullopt,
                   "[General]\ra=1\r\n\n[Other]\r"},
        RewriteRow{"new_cr_line_before_an_empty_lf_line_stays_two_lines",
                   "[General]\ra=1\n\n[Other]\r",
                   "b",
                   "2",
                   "[General]\ra=1\nb=2\r\n\n[Other]\r"},
        RewriteRow{"missing_final_newline_gets_one_before_a_new_line", "a=1", "b", "2", "a=1\nb=2\n"},
        RewriteRow{"missing_final_newline_kept_on_replace", "[General]\na=1", "a", "2", "[General]\na=2"},
        RewriteRow{
            "byte_order_mark_kept", "\xEF\xBB\xBFshowYear=false\n", "showYear", "true", "\xEF\xBB\xBFshowYear=true\n"},
        RewriteRow{
            "byte_order_mark_before_a_later_key_is_not_part_of_it", "a=1\n\xEF\xBB\xBFk=1\n", "k", "2", "a=1\nk=2\n"},
        RewriteRow{"other_bytes_kept_as_they_are",
                   bytes("[General]\n\xff\xfe garbage \x00 here\na=1\n"),
                   "a",
                   "2",
                   bytes("[General]\n\xff\xfe garbage \x00 here\na=2\n")}),
    [](const auto& row) { return std::string(row.param.name); });
