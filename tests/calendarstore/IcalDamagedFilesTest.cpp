// Damaged and hostile calendar files, generated here: what is read, what is skipped and counted, and
// that the rest of the file still shows.
#include "calendarstore/icalstore/IcalCalendarStore.h"
#include "tests/support/CalendarTestSupport.h"
#include "tests/support/FakeTimeSource.h"

using namespace kalvix;
using namespace kalvix::test;

namespace {

const QByteArray kHead = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Test//EN\r\n";
const QByteArray kTail = "END:VCALENDAR\r\n";

QByteArray vevent(const QByteArray& uid, int day, const QByteArray& more = {})
{
    return "BEGIN:VEVENT\r\nUID:" + uid + "\r\nSUMMARY:" + uid + "\r\nDTSTART:202503" +
           QByteArray::number(day).rightJustified(2, '0') + "T090000Z\r\n" + more + "END:VEVENT\r\n";
}

class Damaged : public ::testing::Test {
protected:
    void SetUp() override
    {
        testApp();
        ASSERT_TRUE(m_dir.isValid());
    }

    void load(const QByteArray& text)
    {
        writeFile(m_dir.filePath(u"cal.ics"_qs), text);
        IcalCalendarStore::Options options;
        options.time = &m_time;
        m_store = std::make_unique<IcalCalendarStore>(QStringList{m_dir.filePath(u"cal.ics"_qs)}, options);
        m_store->loadNow();
    }

    // The titles shown in March 2025, in order.
    std::vector<QString> titles() const
    {
        std::vector<QString> out;
        for (const auto& o : m_store->occurrences(local(2025, 3, 1), local(2025, 4, 1)))
            out.push_back(o.title.value_or(QString()));
        return out;
    }

    int skipped() const { return m_store->calendars().value(0).skipped; }
    int events() const { return m_store->calendars().value(0).events; }

    QTemporaryDir m_dir;
    FakeTimeSource m_time{local(2025, 3, 5, 10)};
    std::unique_ptr<IcalCalendarStore> m_store;
};

using Titles = std::vector<QString>;

} // namespace

struct LenientRow {
    const char* name;
    QByteArray text;
    Titles shown;
    int skipped;
};

class Lenient : public Damaged, public ::testing::WithParamInterface<LenientRow> {};

TEST_P(Lenient, readsWhatAMainstreamReaderReadsAndCountsTheRest)
{
    const LenientRow& r = GetParam();
    load(r.text);
    EXPECT_EQ(titles(), r.shown);
    EXPECT_EQ(skipped(), r.skipped);
}

INSTANTIATE_TEST_SUITE_P(
    Files,
    Lenient,
    ::testing::Values(
        LenientRow{"blank_line_inside_folded_content",
                   kHead +
                       "BEGIN:VEVENT\r\nUID:a\r\nSUMMARY:Long\r\n\r\n  title\r\nDTSTART:20250301T090000Z\r\n"
                       "END:VEVENT\r\n" +
                       vevent("b", 2) + kTail,
                   {u"Long title"_qs, u"b"_qs},
                   0},
        LenientRow{"misspelt_end_of_a_todo",
                   kHead + "BEGIN:VTODO\r\nUID:t\r\nSUMMARY:todo\r\nEND:VTOOD\r\n" + vevent("a", 1) + vevent("b", 2) +
                       kTail,
                   {u"a"_qs, u"b"_qs},
                   0},
        LenientRow{"misspelt_end_of_an_event",
                   kHead + vevent("a", 1).replace("END:VEVENT", "END:VEVNT") + vevent("b", 2) + kTail,
                   {u"b"_qs},
                   1},
        LenientRow{"misspelt_end_of_an_alarm_inside_an_event",
                   kHead + vevent("a", 1, "BEGIN:VALARM\r\nACTION:DISPLAY\r\nEND:VALRM\r\n") + vevent("b", 2) + kTail,
                   {u"a"_qs, u"b"_qs},
                   0},
        LenientRow{
            "nested_calendars", kHead + kHead + vevent("a", 1) + kTail + vevent("b", 2) + kTail, {u"a"_qs, u"b"_qs}, 0},
        LenientRow{"events_with_no_calendar_around_them", vevent("a", 1) + vevent("b", 2), {u"a"_qs, u"b"_qs}, 0},
        LenientRow{"two_files_joined_without_their_ends",
                   kHead + "BEGIN:VEVENT\r\nUID:cut\r\nDTSTART:2025" + kHead + vevent("a", 1) + kTail,
                   {u"a"_qs},
                   1},
        LenientRow{"file_cut_off_inside_an_event",
                   kHead + vevent("a", 1) + "BEGIN:VEVENT\r\nUID:cut\r\nDTSTART:20250302T09",
                   {u"a"_qs},
                   1},
        LenientRow{"lower_case_names_and_lf_only",
                   "begin:vcalendar\nbegin:vevent\nuid:a\nsummary:a\ndtstart:20250301T090000Z\nend:vevent\n"
                   "end:vcalendar\n",
                   {u"a"_qs},
                   0},
        LenientRow{"quoted_colon_in_a_parameter",
                   kHead +
                       "BEGIN:VEVENT\r\nUID:q\r\nSUMMARY;X-NOTE=\"a:b\":Quoted\r\nDTSTART:20250301T090000Z\r\n"
                       "END:VEVENT\r\n" +
                       kTail,
                   {u"Quoted"_qs},
                   0}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(Damaged, oneNulByteCostsOnlyTheEventThatHoldsIt)
{
    QByteArray text = kHead;
    for (int i = 0; i < 1000; ++i) {
        QByteArray event = vevent("e" + QByteArray::number(i), 1 + i % 28);
        if (i == 500)
            event.replace("SUMMARY:e500",
                          QByteArray("SUMMARY:e5\0"
                                     "00",
                                     12));
        text += event;
    }
    load(text + kTail);
    EXPECT_EQ(titles().size(), 999u);
    EXPECT_EQ(events(), 999);
    EXPECT_EQ(skipped(), 1);
}

TEST_F(Damaged, deepNestingIsCountedWithoutRecursion)
{
    // 300,000 components opened inside one event, never closed, then 300,000 more opened and closed.
    QByteArray text = kHead + vevent("before", 1) + "BEGIN:VEVENT\r\nUID:deep\r\nDTSTART:20250302T090000Z\r\n";
    text += QByteArray("BEGIN:VALARM\r\n").repeated(300000);
    text += "BEGIN:VEVENT\r\nUID:balanced\r\nSUMMARY:balanced\r\nDTSTART:20250303T090000Z\r\n";
    text += QByteArray("BEGIN:X-A\r\n").repeated(300000) + QByteArray("END:X-A\r\n").repeated(300000);
    text += "END:VEVENT\r\n" + vevent("after", 4) + kTail;
    load(text);
    EXPECT_EQ(titles(), (Titles{u"before"_qs, u"after"_qs}));
    EXPECT_EQ(skipped(), 2) << "the unclosed event and the one nested beyond reason";
}

TEST_F(Damaged, overLongPropertiesCostTheEventOnlyWhenKalvixReadsThem)
{
    const QByteArray huge(8 * 1024 * 1024, 'x');
    load(kHead + vevent("a", 1) + "BEGIN:VEVENT\r\nUID:long-title\r\nDTSTART:20250302T090000Z\r\nSUMMARY:" + huge +
         "\r\nEND:VEVENT\r\n" + vevent("long-description", 3, "DESCRIPTION:" + huge + "\r\n") + vevent("b", 4) + kTail);
    EXPECT_EQ(titles(), (Titles{u"a"_qs, u"long-description"_qs, u"b"_qs}));
    EXPECT_EQ(skipped(), 1);
}

TEST_F(Damaged, aCountBeyond32BitsLeavesTheEventRecurring)
{
    load(kHead + vevent("daily", 1, "RRULE:FREQ=DAILY;COUNT=2147483648\r\n") + kTail);
    EXPECT_EQ(titles().size(), 31u);
    EXPECT_EQ(skipped(), 0);
}

TEST_F(Damaged, rulesThatNeverMatchCostLittleAndShowTheirFirstOccurrence)
{
    QByteArray text = kHead;
    for (int i = 0; i < 100; ++i)
        text += vevent("r" + QByteArray::number(i), 1, "RRULE:FREQ=MONTHLY;BYDAY=MO,TU,WE,TH,FR;BYSETPOS=-366\r\n");
    load(text + kTail);
    EXPECT_EQ(titles().size(), 100u);
    EXPECT_EQ(skipped(), 0);
}

TEST_F(Damaged, aRuleBeyondTheFilesBudgetIsDroppedAndCounted)
{
    // Every second of every day: far more occurrences in the loaded months than any rule may give.
    load(kHead + vevent("every-second", 1, "RRULE:FREQ=SECONDLY\r\n") + vevent("plain", 2) + kTail);
    EXPECT_EQ(titles(), (Titles{u"plain"_qs}));
    EXPECT_EQ(skipped(), 1);
    EXPECT_EQ(events(), 1);
}
