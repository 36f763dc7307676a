#include "calendarstore/icalstore/IcalSnapshot.h"

#include "calendarstore/ical/IcalExpansion.h"
#include "calendarstore/ical/IcalReader.h"
#include "calendarstore/icalstore/IcalSources.h"
#include "time/CivilCalendar.h"

#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <tuple>

namespace kalvix::ical {
namespace {

constexpr double kLongOccurrence = 7 * 86400.0;
constexpr int kMaxWatchedFiles = 4000;
// Rules whose occurrences may be longer than this are expanded for each query instead of by month:
// with them the months to look back would be unbounded.
constexpr double kLongRule = 28 * 86400.0;

// Fixed palette for calendars that name no colour of their own.
constexpr CalendarColor kPalette[] = {
    {0x1e, 0x88, 0xe5, 255},
    {0xe5, 0x39, 0x35, 255},
    {0x43, 0xa0, 0x47, 255},
    {0xfb, 0x8c, 0x00, 255},
    {0x8e, 0x24, 0xaa, 0xff},
    {0x00, 0xac, 0xc1, 255},
    {0xd8, 0x1b, 0x60, 255},
    {0x6d, 0x4c, 0x41, 255},
};

CalendarColor paletteColor(const QString& path)
{
    std::uint32_t h = 2166136261u; // FNV-1a: stable across runs, unlike qHash
    for (QChar c : path) {
        h ^= c.unicode();
        h *= 16777619u;
    }
    return kPalette[h % std::size(kPalette)];
}

// The current month of `zone` from `before` days ahead of its first day to `after` days past its end.
Interval loadWindow(Instant now, const QTimeZone& zone, int before, int after)
{
    const auto month = CivilCalendar(zone).monthInterval(now);
    const double from = (month ? month->start.seconds : now.seconds - 31 * 86400.0) - before * 86400.0;
    const double to = (month ? month->end.seconds : now.seconds + 31 * 86400.0) + after * 86400.0;
    return Interval{Instant{from}, Instant{to}};
}

} // namespace

std::shared_ptr<Snapshot> Snapshot::build(const QStringList& sources,
                                          const std::vector<FeedCalendar>& feed,
                                          const Snapshot* previous,
                                          Instant now,
                                          const LoadPlan& plan,
                                          const QTimeZone& floating,
                                          const std::atomic<bool>* cancelled)
{
    auto snap = std::make_shared<Snapshot>();
    snap->m_floating = floating;
    snap->m_window = loadWindow(now, floating, plan.daysBefore, plan.daysAfter);
    snap->m_cachedMonths = std::max(plan.cachedMonths, 1);
    // Files read for the same window and zone are kept when unchanged; others are read again.
    const bool keepWindow = previous && previous->m_floating.id() == floating.id() &&
                            previous->m_window.start == snap->m_window.start &&
                            previous->m_window.end == snap->m_window.end;

    SourceScan scan = scanSources(sources, plan.patience);
    snap->m_watchFolders = std::move(scan.watchPaths);
    snap->m_unreadable = scan.unreadable;
    snap->m_notAnswering = std::move(scan.notAnswering);
    snap->m_anySourceExists = scan.anySourceExists;
    snap->m_anySourceReadable = scan.anySourceReadable;

    std::vector<QString> paths;
    for (std::size_t c = 0; c < scan.calendars.size(); ++c) {
        for (const QString& path : std::as_const(scan.calendars[c].files)) {
            paths.push_back(path);
            snap->m_fileCalendar.push_back(static_cast<std::uint32_t>(c));
        }
    }
    ReadOptions readOptions;
    readOptions.window = snap->m_window;
    readOptions.floating = floating;
    readOptions.cancelled = cancelled;
    ReadFiles read = readFiles(paths, keepWindow ? previous->m_files : decltype(m_files){}, readOptions, plan.patience);
    snap->m_notAnswering.append(read.notAnswering);
    // A file that did not answer is left out, as if it were not there, until it does.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < read.files.size(); ++i) {
        if (!read.files[i])
            continue;
        snap->m_fileCalendar[kept++] = snap->m_fileCalendar[i];
        snap->m_files.push_back(std::move(read.files[i]));
    }
    snap->m_fileCalendar.resize(kept);
    joinSharedEvents(snap->m_files, snap->m_fileCalendar, readOptions);
    snap->addFeed(feed, keepWindow ? previous : nullptr, readOptions, scan.calendars);
    snap->describeCalendars(scan.calendars);
    if (snap->m_files.size() <= kMaxWatchedFiles) {
        for (const auto& f : snap->m_files)
            snap->m_watchFiles.append(f->path);
    }
    snap->buildIndex();
    snap->registerRules();
    return snap;
}

// A feed's calendar is a file of its own whose text the feed holds: read like any file, and kept from
// the previous load while its revision stays. One that could not be read is listed with its problem.
void Snapshot::addFeed(const std::vector<FeedCalendar>& feed,
                       const Snapshot* previous,
                       const ReadOptions& options,
                       std::vector<CalendarEntry>& calendars)
{
    QHash<QString, std::shared_ptr<const FileData>> reusable;
    if (previous) {
        for (const auto& f : previous->m_files)
            reusable.insert(f->path, f);
    }
    for (const FeedCalendar& calendar : feed) {
        m_anySourceExists = true;
        const auto index = static_cast<std::uint32_t>(calendars.size());
        calendars.push_back(CalendarEntry{calendar.id, calendar.name, calendar.color, {}, {}, calendar.problem});
        // A calendar still opening is not one that cannot be read.
        if (calendar.problem.isEmpty())
            m_anySourceReadable = true;
        if (!calendar.text)
            continue;
        const FileKey key{static_cast<qint64>(calendar.revision), calendar.text->size(), 0};
        auto it = reusable.constFind(calendar.id);
        if (it != reusable.constEnd() && (*it)->key == key) {
            m_files.push_back(*it);
        } else {
            auto data = std::make_shared<FileData>();
            data->path = calendar.id;
            data->key = key;
            data->readable = true;
            CalendarText header;
            data->parsed = readCalendar(*calendar.text, options, &header);
            data->zones = std::move(header.zones);
            m_files.push_back(std::move(data));
        }
        m_fileCalendar.push_back(index);
    }
}

// Calendars: colour and name from the vdir files, else from the first file that has them.
void Snapshot::describeCalendars(const std::vector<CalendarEntry>& calendars)
{
    std::vector<std::optional<CalendarColor>> colors(calendars.size());
    for (const CalendarEntry& entry : calendars) {
        CalendarInfo info;
        info.path = entry.path;
        info.name = entry.name;
        colors[std::size_t(m_calendars.size())] = entry.color;
        m_calendars.append(info);
    }
    for (std::size_t i = 0; i < m_files.size(); ++i) {
        const std::uint32_t c = m_fileCalendar[i];
        const FileData& f = *m_files[i];
        CalendarInfo& info = m_calendars[c];
        if (!colors[c] && f.color)
            colors[c] = f.color;
        if (info.name.isEmpty() && !f.name.isEmpty())
            info.name = f.name;
        info.events += static_cast<int>(f.parsed.events.size()) - f.parsed.dropped;
        info.skipped += f.readable ? f.parsed.skipped : 1;
    }
    for (qsizetype c = 0; c < m_calendars.size(); ++c) {
        CalendarInfo& info = m_calendars[c];
        info.problem = calendars[std::size_t(c)].problem;
        if (info.name.isEmpty())
            info.name = QFileInfo(info.path).completeBaseName();
        info.color = colors[std::size_t(c)].value_or(paletteColor(info.path));
    }
    m_fileColors.resize(m_files.size());
    for (std::size_t i = 0; i < m_files.size(); ++i)
        m_fileColors[i] = m_calendars[m_fileCalendar[i]].color;
}

void Snapshot::buildIndex()
{
    std::size_t total = 0;
    for (const auto& f : m_files)
        total += f->parsed.occurrences.size();
    m_shortIndex.reserve(total);
    for (std::size_t i = 0; i < m_files.size(); ++i) {
        const auto& occ = m_files[i]->parsed.occurrences;
        for (std::size_t p = 0; p < occ.size(); ++p) {
            const IndexEntry e{occ[p].start, static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(p)};
            const double length = occ[p].end - occ[p].start;
            if (length > kLongOccurrence) {
                m_longIndex.push_back(e);
            } else {
                m_shortIndex.push_back(e);
                m_maxShortLength = std::max(m_maxShortLength, length);
            }
        }
    }
    // In query order (see before()): each file's occurrences are by start and event already.
    std::sort(m_shortIndex.begin(), m_shortIndex.end(), [](const IndexEntry& a, const IndexEntry& b) {
        return std::tie(a.start, a.file, a.pos) < std::tie(b.start, b.file, b.pos);
    });
    m_shortIndex.shrink_to_fit();
}

void Snapshot::registerRules()
{
    for (std::size_t i = 0; i < m_files.size(); ++i) {
        const auto& rules = m_files[i]->parsed.rules;
        if (rules.empty())
            continue;
        FileRules entry;
        entry.file = static_cast<std::uint32_t>(i);
        entry.firstShort = m_months.shortLastStarts.size();
        for (std::size_t r = 0; r < rules.size(); ++r) {
            const double length = lengthBound(rules[r]);
            if (length > kLongRule) {
                entry.longRules.push_back(static_cast<std::uint32_t>(r));
            } else {
                entry.shortRules.push_back(static_cast<std::uint32_t>(r));
                m_months.shortLastStarts.push_back(rules[r].lastStart);
                m_maxShortRuleLength = std::max(m_maxShortRuleLength, length);
            }
        }
        m_anyLongRule = m_anyLongRule || !entry.longRules.empty();
        m_rules.push_back(std::move(entry));
    }
}

bool Snapshot::sameContent(const Snapshot& other) const
{
    if (m_files.size() != other.m_files.size() || m_calendars.size() != other.m_calendars.size())
        return false;
    for (std::size_t i = 0; i < m_files.size(); ++i) {
        const FileData& a = *m_files[i];
        const FileData& b = *other.m_files[i];
        // Joined files are read anew at each load; the same files unchanged are the same content.
        const bool sameJoined = a.joined && b.joined && a.path == b.path && a.key == b.key;
        if ((m_files[i] != other.m_files[i] && !sameJoined) || !(m_fileColors[i] == other.m_fileColors[i]))
            return false;
    }
    for (qsizetype c = 0; c < m_calendars.size(); ++c) {
        if (m_calendars[c].name != other.m_calendars[c].name || m_calendars[c].path != other.m_calendars[c].path ||
            m_calendars[c].problem != other.m_calendars[c].problem)
            return false;
    }
    return m_anySourceReadable == other.m_anySourceReadable && m_notAnswering == other.m_notAnswering;
}

} // namespace kalvix::ical
