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
#include "platform/CalendarStore.h"
#include "platform/IcalFiles.h"

#include <QList>
#include <QStringList>
#include <QTimeZone>

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
};

class Snapshot {
public:
    // Reads the sources; files of `previous` read for the same window and zone are kept when unchanged.
    static std::shared_ptr<Snapshot> build(const QStringList& sources,
                                           const Snapshot* previous,
                                           Instant now,
                                           const LoadPlan& plan,
                                           const QTimeZone& floating);

    // Occurrences overlapping [start, end). Fills the month cache: one thread at a time.
    std::vector<CalendarOccurrence> occurrences(Instant start, Instant end) const;

    // What the user would notice: files, their content and the calendars' colours and names.
    bool sameContent(const Snapshot& other) const;

    const QList<CalendarInfo>& calendars() const { return m_calendars; }
    const QString& unreadable() const { return m_unreadable; }
    const QStringList& watchPaths() const { return m_watchPaths; }
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

    // The occurrences of the short rules that start in one month.
    struct Block {
        std::vector<Hit> entries;
        std::uint64_t lastUse = 0;
    };

    void describeCalendars(const std::vector<CalendarEntry>& calendars);
    void buildIndex();
    void registerRules();

    const Occurrence& at(const IndexEntry& e) const { return m_files[e.file]->parsed.occurrences[e.pos]; }
    CalendarOccurrence toOccurrence(const Hit& hit) const;
    void appendIndexed(Interval range, std::vector<Hit>& out) const;
    void appendExpanded(Interval range, std::vector<Hit>& out) const;
    // Expands the months not yet kept (several at once in parallel) and marks all of them used.
    void ensureBlocks(const std::vector<int>& months) const;
    Block expandMonth(int month, std::vector<double>& lastStarts) const;

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
    // Filled by queries; a reload makes a new snapshot and so a new cache.
    mutable std::unordered_map<int, Block> m_blocks;
    mutable std::uint64_t m_uses = 0;
    // The last start of each short rule as far as known, learned as months are expanded.
    mutable std::vector<double> m_shortLastStarts;
    QTimeZone m_floating;
    QStringList m_watchPaths;
    QString m_unreadable;
    bool m_anySourceExists = false;
    bool m_anySourceReadable = false;
};

} // namespace kalvix::ical
