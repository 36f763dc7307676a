#pragma once
// The iCalendar store's loaded index: its files' records, its calendars, and the occurrences of every
// event by start, built off the main thread and immutable afterwards except for the month cache.
//
// Recurring events are expanded at load only over the load window (what the month grid and the
// upcoming list show at that time); a query elsewhere expands the rules by whole months (in UTC) and
// keeps those months (a bounded number, the least recently used go first), so moving between months
// costs once per month. Each occurrence of a rule belongs to where it starts, the load window or a
// month, so none is repeated or missed. Rules whose occurrences can last longer than four weeks are
// expanded for each query instead, and so is a query longer than the months kept.
//
// Queries give occurrences by start; those with the same start in the order of their calendars (the
// sources' order), their files (by name) and their events (by place in the file), so a vdir and one
// file holding the same events give the same order. An occurrence's identifier is its event's UID
// qualified by its calendar, so the same event in two calendars has two identifiers.
#include "calendarstore/CalendarFeed.h"
#include "calendarstore/CalendarStore.h"
#include "calendarstore/icalstore/IcalFiles.h"

#include <QList>
#include <QStringList>
#include <QTimeZone>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

namespace kalvix::ical {

struct CalendarEntry;

struct LoadPlan {
    // The load expands the months holding the current month from this many days before its first
    // day to this many after its last (the month grid's range). Other months expand on demand.
    int daysBefore = 7;
    int daysAfter = 14;
    int cachedMonths = 36; // months expanded on demand and kept
    // How long a source or file may keep the load waiting on its file system without progress
    // before the load goes on without it (see WatchedWork.h).
    std::chrono::milliseconds patience{3000};
};

class Snapshot {
public:
    // Reads the sources, then the feed's calendars after them; files and feed calendars of `previous`
    // read for the same window and zone are kept when unchanged.
    static std::shared_ptr<Snapshot> build(const QStringList& sources,
                                           const std::vector<FeedCalendar>& feed,
                                           const Snapshot* previous,
                                           Instant now,
                                           const LoadPlan& plan,
                                           const QTimeZone& floating,
                                           const std::atomic<bool>* cancelled = nullptr);

    // Occurrences overlapping [start, end). Expands the months it needs that are not kept yet, and
    // waits for those being expanded elsewhere. Safe from any thread.
    std::vector<CalendarOccurrence> occurrences(Instant start, Instant end) const;
    // The first `count` of them: only those are made into occurrences.
    std::vector<CalendarOccurrence> firstOccurrences(Instant start, Instant end, std::size_t count) const;
    std::vector<OccurrenceSpan> spans(Instant start, Instant end) const;

    // The months a query of [start, end) would need that are neither kept nor being expanded.
    std::vector<int> monthsToExpand(Instant start, Instant end) const;
    // Expands those of `months` that are still missing, one after the other on the calling thread
    // (a worker), and keeps them for the queries to come.
    void prefetch(const std::vector<int>& months) const;

    // What the user would notice: files, their content and the calendars' colours and names.
    bool sameContent(const Snapshot& other) const;

    const QList<CalendarInfo>& calendars() const { return m_calendars; }
    const QString& unreadable() const { return m_unreadable; }
    // Sources and files left out because their file system did not answer in time.
    const QStringList& notAnswering() const { return m_notAnswering; }
    const QStringList& watchFolders() const { return m_watchFolders; }
    const QStringList& watchFiles() const { return m_watchFiles; }
    const QTimeZone& floating() const { return m_floating; }
    bool anySourceExists() const { return m_anySourceExists; }
    bool anySourceReadable() const { return m_anySourceReadable; }

private:
    struct IndexEntry {
        double start;
        std::uint32_t file;
        std::uint32_t pos;
    };
    // The recurring events of one file, split by how far back their occurrences can reach.
    struct FileRules {
        std::uint32_t file = 0;
        std::vector<std::uint32_t> shortRules; // expanded by month and kept
        std::vector<std::uint32_t> longRules;  // expanded for each query
        std::size_t firstShort = 0;            // where its short rules begin in m_shortLastStarts
    };
    // An occurrence found by a query, with the file it comes from.
    struct Hit {
        Occurrence occurrence;
        std::uint32_t file = 0;
    };
    // The order of queries: by start, then calendar and file (the order of m_files), then event.
    static bool before(const Hit& a, const Hit& b);

    // The occurrences of the short rules that start in one month.
    struct Block {
        std::vector<Hit> entries;
    };
    // Months expanded on demand, kept until the next load; filled from any thread.
    struct MonthCache {
        std::mutex mutex;
        std::condition_variable done;
        std::unordered_map<int, std::shared_ptr<const Block>> blocks;
        std::unordered_map<int, std::uint64_t> lastUse;
        std::set<int> inFlight;
        std::uint64_t uses = 0;
        // The last start of each short rule as far as known, learned as months are expanded.
        std::vector<double> shortLastStarts;
    };

    void addFeed(const std::vector<FeedCalendar>& feed,
                 const Snapshot* previous,
                 const ReadOptions& options,
                 std::vector<CalendarEntry>& calendars);
    void describeCalendars(const std::vector<CalendarEntry>& calendars);
    void buildIndex();
    void registerRules();

    const Occurrence& at(const IndexEntry& e) const { return m_files[e.file]->parsed.occurrences[e.pos]; }
    CalendarOccurrence toOccurrence(const Hit& hit) const;
    // The hits of [start, end) in the order queries give them.
    std::vector<Hit> hits(Instant start, Instant end) const;
    // Hits in query order: `sorted` receives runs already in order, `other` the rest.
    void appendIndexed(Interval range, std::vector<Hit>& sorted, std::vector<Hit>& other) const;
    void appendExpanded(Interval range, std::vector<Hit>& sorted, std::vector<Hit>& other) const;
    std::vector<int> monthsFor(Interval range) const;
    // The blocks of `months`, expanding those missing (several at once in parallel) and waiting for
    // those in flight; all are marked used.
    std::vector<std::shared_ptr<const Block>> blocks(const std::vector<int>& months) const;
    // Expands `months` (marked in flight by the caller) and keeps them.
    void expandAndKeep(const std::vector<int>& months, bool parallel) const;
    Block expandMonth(int month, std::vector<double>& lastStarts) const;
    void evict(const std::vector<int>& keep) const;

    std::vector<std::shared_ptr<const FileData>> m_files; // by calendar, then by name
    std::vector<std::uint32_t> m_fileCalendar;            // index into m_calendars
    std::vector<CalendarColor> m_fileColors;
    QList<CalendarInfo> m_calendars;
    std::vector<IndexEntry> m_shortIndex; // sorted by start
    std::vector<IndexEntry> m_longIndex;
    double m_maxShortLength = 0;
    // Rule occurrences starting in the window are in the index; those starting elsewhere come from
    // the month blocks (short rules) or a per-query expansion (long rules).
    Interval m_window;
    std::vector<FileRules> m_rules;
    double m_maxShortRuleLength = 0;
    bool m_anyLongRule = false;
    int m_cachedMonths = 0;
    // A reload makes a new snapshot and so a new cache.
    mutable MonthCache m_months;
    QTimeZone m_floating;
    QStringList m_watchFolders;
    QStringList m_watchFiles;
    QString m_unreadable;
    QStringList m_notAnswering;
    bool m_anySourceExists = false;
    bool m_anySourceReadable = false;
};

} // namespace kalvix::ical
