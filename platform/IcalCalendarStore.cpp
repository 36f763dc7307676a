#include "platform/IcalCalendarStore.h"

#include "platform/CivilCalendar.h"
#include "platform/IcalReader.h"
#include "platform/SystemZone.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QPointer>
#include <QSet>
#include <QTimer>

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <span>
#include <thread>
#include <unordered_map>

namespace kalvix {
namespace {

constexpr qint64 kMaxFileBytes = 256LL * 1024 * 1024;
constexpr double kLongOccurrence = 7 * 86400.0;
constexpr int kMaxFolderDepth = 3;
constexpr int kMaxWatchedFiles = 4000;
constexpr qsizetype kChunkedFileBytes = 512 * 1024;
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

struct FileKey {
    qint64 mtimeNs = 0;
    qint64 size = 0;
    qint64 inode = 0;
    friend bool operator==(const FileKey&, const FileKey&) = default;
};

std::optional<FileKey> regularFileKey(const QString& path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return FileKey{qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec, qint64(st.st_size), qint64(st.st_ino)};
}

struct FileData {
    QString path;
    FileKey key;
    bool readable = false;
    ical::ParsedCalendar parsed;
    QHash<QByteArray, QByteArray> zones;
    QString name;
    std::optional<CalendarColor> color;
};

struct CalendarEntry {
    QString path;
    QString name;
    std::optional<CalendarColor> color; // the vdir colour file
    QStringList files;
};

struct IndexEntry {
    double start;
    std::uint32_t file;
    std::uint32_t pos;
};

// Months in UTC, counted from January 1970: the blocks in which recurring events are expanded.
int monthOf(double seconds)
{
    const QDate d = QDate(1970, 1, 1).addDays(static_cast<qint64>(std::floor(seconds / 86400.0)));
    return (d.year() - 1970) * 12 + d.month() - 1;
}

double monthStart(int month)
{
    const int year = 1970 + (month >= 0 ? month / 12 : (month - 11) / 12);
    const int m = month - (year - 1970) * 12 + 1;
    return static_cast<double>(QDate(1970, 1, 1).daysTo(QDate(year, m, 1))) * 86400.0;
}

// The current month of `zone` from `before` days ahead of its first day to `after` days past its end.
Interval loadWindow(Instant now, const QTimeZone& zone, int before, int after)
{
    const auto month = CivilCalendar(zone).monthInterval(now);
    const double from = (month ? month->start.seconds : now.seconds - 31 * 86400.0) - before * 86400.0;
    const double to = (month ? month->end.seconds : now.seconds + 31 * 86400.0) + after * 86400.0;
    return Interval{Instant{from}, Instant{to}};
}

template <typename F> void parallelFor(std::size_t count, F&& work)
{
    const std::size_t threads = std::min<std::size_t>(count, std::max(1u, std::thread::hardware_concurrency()));
    std::atomic<std::size_t> next{0};
    auto run = [&] {
        for (std::size_t i = next++; i < count; i = next++)
            work(i);
    };
    std::vector<std::thread> pool;
    for (std::size_t t = 1; t < threads; ++t)
        pool.emplace_back(run);
    run();
    for (auto& t : pool)
        t.join();
}

QString readSmallText(const QString& path)
{
    QFile f(path);
    if (!regularFileKey(path) || !f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.read(4096)).trimmed();
}

void scanFolder(const QString& dir, int depth, std::vector<CalendarEntry>& calendars, QStringList& folders)
{
    folders.append(dir);
    const QDir d(dir);
    CalendarEntry entry;
    QStringList subfolders;
    for (const QFileInfo& info :
         d.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::System, QDir::Name)) {
        if (info.isDir()) {
            subfolders.append(info.filePath());
        } else if (info.suffix().compare(u"ics", Qt::CaseInsensitive) == 0) {
            entry.files.append(info.filePath());
        }
    }
    if (!entry.files.isEmpty()) {
        entry.path = dir;
        entry.name = readSmallText(d.filePath(QStringLiteral("displayname")));
        entry.color = CalendarColor::fromName(readSmallText(d.filePath(QStringLiteral("color"))));
        calendars.push_back(std::move(entry));
    }
    if (depth < kMaxFolderDepth) {
        for (const QString& sub : std::as_const(subfolders))
            scanFolder(sub, depth + 1, calendars, folders);
    }
}

// Reads one file; a file that changes while it is read is read again (a few times at most).
std::shared_ptr<FileData> readFile(const QString& path, const ical::ReadOptions& options)
{
    auto data = std::make_shared<FileData>();
    data->path = path;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const auto before = regularFileKey(path);
        if (!before || before->size > kMaxFileBytes)
            return data;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return data;
        const QByteArray text = file.readAll();
        const auto after = regularFileKey(path);
        if (!after || !(*after == *before)) {
            continue;
        }
        data->key = *before;
        data->readable = true;
        ical::CalendarText split = ical::splitCalendarText(text, options.chunkEvents);
        data->parsed.skipped = split.truncated;
        std::vector<ical::ParsedCalendar> parts(split.chunks.size());
        auto parse = [&](std::size_t i) { parts[i] = ical::parseChunk(split.chunks[i], split.zones, options); };
        if (text.size() > kChunkedFileBytes && parts.size() > 1) {
            parallelFor(parts.size(), parse);
        } else {
            for (std::size_t i = 0; i < parts.size(); ++i)
                parse(i);
        }
        std::size_t occurrences = 0;
        std::size_t events = 0;
        for (const auto& part : parts) {
            occurrences += part.occurrences.size();
            events += part.events.size();
        }
        data->parsed.occurrences.reserve(occurrences);
        data->parsed.events.reserve(events);
        for (auto& part : parts)
            ical::append(data->parsed, std::move(part));
        ical::applyOverrides(data->parsed);
        data->zones = std::move(split.zones);
        data->name = split.name;
        data->color = split.color;
        return data;
    }
    return data; // never stable: skipped this time; the watcher brings the next try
}

} // namespace

struct IcalCalendarStore::Snapshot {
    // The recurring events of one file, split by how far back their occurrences can reach.
    struct FileRules {
        std::uint32_t file = 0;
        std::vector<std::uint32_t> shortRules; // expanded by month and kept
        std::vector<std::uint32_t> longRules;  // expanded for each query
        std::size_t firstShort = 0;            // where its short rules begin in shortLastStarts
    };
    struct BlockEntry {
        ical::Occurrence occurrence;
        std::uint32_t file = 0;
    };
    // The occurrences of the short rules that start in one month.
    struct Block {
        std::vector<BlockEntry> entries;
        std::uint64_t lastUse = 0;
    };

    std::vector<std::shared_ptr<const FileData>> files;
    std::vector<CalendarColor> fileColors;
    QList<CalendarInfo> calendars;
    std::vector<IndexEntry> shortIndex; // sorted by start
    std::vector<IndexEntry> longIndex;
    double maxShortLength = 0;
    // Rule occurrences starting in the window are in the index; those starting elsewhere come from
    // the month blocks (short rules) or a per-query expansion (long rules).
    Interval window;
    std::vector<FileRules> rules;
    double maxShortRuleLength = 0;
    bool anyLongRule = false;
    int cachedMonths = 0;
    // Filled by queries on the main thread; a reload makes a new snapshot and so a new cache.
    mutable std::unordered_map<int, Block> blocks;
    mutable std::uint64_t uses = 0;
    // The last start of each short rule as far as known, learned as months are expanded.
    mutable std::vector<double> shortLastStarts;
    QTimeZone floating;
    QStringList watchPaths;
    QString unreadable;
    bool anySourceExists = false;
    bool anySourceReadable = false;

    const ical::Occurrence& at(const IndexEntry& e) const { return files[e.file]->parsed.occurrences[e.pos]; }

    // Expands the months not yet kept (several at once in parallel) and marks all of them used.
    void ensureBlocks(const std::vector<int>& months) const;
    Block expandMonth(int month, std::vector<double>& lastStarts) const;

    CalendarOccurrence toOccurrence(std::uint32_t file, const ical::Occurrence& o) const
    {
        const ical::EventInfo& info = files[file]->parsed.events[o.event];
        return CalendarOccurrence{
            Instant{o.start}, Instant{o.end}, info.isAllDay, info.title, info.uid, fileColors[file]};
    }
};

namespace {

using Snapshot = IcalCalendarStore::Snapshot;

bool overlaps(double start, double end, Interval range)
{
    return start < range.end.seconds && (end > range.start.seconds || (start == end && start >= range.start.seconds));
}

std::shared_ptr<Snapshot> buildSnapshot(const QStringList& sources,
                                        const Snapshot* previous,
                                        Instant now,
                                        const IcalCalendarStore::Options& options,
                                        const QTimeZone& floating)
{
    auto snap = std::make_shared<Snapshot>();
    snap->floating = floating;
    snap->window = loadWindow(now, floating, options.loadDaysBefore, options.loadDaysAfter);
    snap->cachedMonths = std::max(options.cachedMonths, 1);
    // Files read for the same window and zone are kept when unchanged; others are read again.
    const bool keepWindow = previous && previous->floating.id() == floating.id() &&
                            previous->window.start == snap->window.start && previous->window.end == snap->window.end;

    std::vector<CalendarEntry> calendars;
    QStringList folders;
    for (const QString& source : sources) {
        const QFileInfo info(source);
        if (!info.exists()) {
            // Watch the nearest folder that exists, to see the source come (back).
            QDir up = info.absoluteDir();
            while (!up.exists() && up.cdUp()) {
            }
            if (up.exists())
                snap->watchPaths.append(up.absolutePath());
            continue;
        }
        snap->anySourceExists = true;
        if (info.isDir()) {
            if (!QDir(source).isReadable() || !info.isReadable()) {
                if (snap->unreadable.isEmpty())
                    snap->unreadable = source;
                continue;
            }
            snap->anySourceReadable = true;
            scanFolder(info.absoluteFilePath(), 0, calendars, folders);
        } else {
            QFile probe(source);
            if (!probe.open(QIODevice::ReadOnly)) {
                if (snap->unreadable.isEmpty())
                    snap->unreadable = source;
                continue;
            }
            snap->anySourceReadable = true;
            calendars.push_back(CalendarEntry{info.absoluteFilePath(), {}, std::nullopt, {info.absoluteFilePath()}});
            snap->watchPaths.append(info.absolutePath());
        }
    }
    snap->watchPaths += folders;
    // Sources may overlap (vdirsyncer's storage folder and khal's calendars inside it): each calendar
    // folder and each file is read once.
    QSet<QString> seenCalendars;
    std::erase_if(calendars, [&](const CalendarEntry& c) {
        const QString key = QFileInfo(c.path).canonicalFilePath();
        if (seenCalendars.contains(key))
            return true;
        seenCalendars.insert(key);
        return false;
    });

    QHash<QString, std::shared_ptr<const FileData>> reusable;
    if (keepWindow) {
        for (const auto& f : previous->files)
            reusable.insert(f->path, f);
    }
    ical::ReadOptions readOptions{snap->window, floating, 400};
    std::vector<QString> paths;
    std::vector<std::uint32_t> pathCalendar;
    for (std::size_t c = 0; c < calendars.size(); ++c) {
        for (const QString& path : std::as_const(calendars[c].files)) {
            paths.push_back(path);
            pathCalendar.push_back(static_cast<std::uint32_t>(c));
        }
    }
    std::vector<std::shared_ptr<const FileData>> files(paths.size());
    std::vector<std::size_t> toRead;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        auto it = reusable.constFind(paths[i]);
        const auto key = regularFileKey(paths[i]);
        if (it != reusable.constEnd() && (*it)->readable && key && *key == (*it)->key)
            files[i] = *it;
        else
            toRead.push_back(i);
    }
    // Large files first, each parsed in parallel chunks; then the small ones in parallel.
    std::vector<std::size_t> small;
    for (std::size_t i : toRead) {
        const auto key = regularFileKey(paths[i]);
        if (key && key->size > kChunkedFileBytes)
            files[i] = readFile(paths[i], readOptions);
        else
            small.push_back(i);
    }
    parallelFor(small.size(), [&](std::size_t k) { files[small[k]] = readFile(paths[small[k]], readOptions); });

    // Calendars: colour and name from the vdir files, else from the first file that has them.
    std::vector<CalendarColor> calendarColors(calendars.size());
    for (std::size_t c = 0; c < calendars.size(); ++c) {
        CalendarInfo info;
        info.path = calendars[c].path;
        info.name = calendars[c].name;
        std::optional<CalendarColor> color = calendars[c].color;
        for (std::size_t i = 0; i < files.size(); ++i) {
            if (pathCalendar[i] != c)
                continue;
            const FileData& f = *files[i];
            if (!color && f.color)
                color = f.color;
            if (info.name.isEmpty() && !f.name.isEmpty())
                info.name = f.name;
            info.events += static_cast<int>(f.parsed.events.size());
            info.skipped += f.readable ? f.parsed.skipped : 1;
        }
        if (info.name.isEmpty())
            info.name = QFileInfo(info.path).completeBaseName();
        info.color = color.value_or(paletteColor(info.path));
        calendarColors[c] = info.color;
        snap->calendars.append(info);
    }

    snap->files = std::move(files);
    snap->fileColors.resize(snap->files.size());
    std::size_t total = 0;
    for (std::size_t i = 0; i < snap->files.size(); ++i) {
        snap->fileColors[i] = calendarColors[pathCalendar[i]];
        total += snap->files[i]->parsed.occurrences.size();
    }
    if (snap->files.size() <= kMaxWatchedFiles) {
        for (const auto& f : snap->files)
            snap->watchPaths.append(f->path);
    }
    snap->shortIndex.reserve(total);
    for (std::size_t i = 0; i < snap->files.size(); ++i) {
        const auto& occ = snap->files[i]->parsed.occurrences;
        for (std::size_t p = 0; p < occ.size(); ++p) {
            const IndexEntry e{occ[p].start, static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(p)};
            const double length = occ[p].end - occ[p].start;
            if (length > kLongOccurrence) {
                snap->longIndex.push_back(e);
            } else {
                snap->shortIndex.push_back(e);
                snap->maxShortLength = std::max(snap->maxShortLength, length);
            }
        }
    }
    std::sort(snap->shortIndex.begin(), snap->shortIndex.end(), [](const IndexEntry& a, const IndexEntry& b) {
        return a.start < b.start;
    });
    snap->shortIndex.shrink_to_fit();

    for (std::size_t i = 0; i < snap->files.size(); ++i) {
        const auto& rules = snap->files[i]->parsed.rules;
        if (rules.empty())
            continue;
        Snapshot::FileRules entry;
        entry.file = static_cast<std::uint32_t>(i);
        entry.firstShort = snap->shortLastStarts.size();
        for (std::size_t r = 0; r < rules.size(); ++r) {
            const double length = ical::lengthBound(rules[r]);
            if (length > kLongRule) {
                entry.longRules.push_back(static_cast<std::uint32_t>(r));
            } else {
                entry.shortRules.push_back(static_cast<std::uint32_t>(r));
                snap->shortLastStarts.push_back(rules[r].lastStart);
                snap->maxShortRuleLength = std::max(snap->maxShortRuleLength, length);
            }
        }
        snap->anyLongRule = snap->anyLongRule || !entry.longRules.empty();
        snap->rules.push_back(std::move(entry));
    }
    return snap;
}

// What the user would notice: files, their content and the calendars' colours and names.
bool sameContent(const Snapshot& a, const Snapshot& b)
{
    if (a.files.size() != b.files.size() || a.calendars.size() != b.calendars.size())
        return false;
    for (std::size_t i = 0; i < a.files.size(); ++i) {
        if (a.files[i] != b.files[i] || !(a.fileColors[i] == b.fileColors[i]))
            return false;
    }
    for (qsizetype c = 0; c < a.calendars.size(); ++c) {
        if (a.calendars[c].name != b.calendars[c].name || a.calendars[c].path != b.calendars[c].path)
            return false;
    }
    return a.anySourceReadable == b.anySourceReadable;
}

} // namespace

struct IcalCalendarStore::State {
    std::shared_ptr<const Snapshot> snapshot;
    CalendarAccess access = CalendarAccess::notDetermined;
    std::vector<AccessCallback> waiting;
    bool loading = false;
    bool reloadPending = false;
    mutable bool zoneReloadAsked = false;
    std::thread loader;
    QFileSystemWatcher* watcher = nullptr;
    QTimer* settle = nullptr;
};

IcalCalendarStore::IcalCalendarStore(QStringList sources, QObject* parent)
    : IcalCalendarStore(std::move(sources), Options{}, parent)
{
}

IcalCalendarStore::IcalCalendarStore(QStringList sources, Options options, QObject* parent)
    : CalendarStore(parent)
    , m_sources(std::move(sources))
    , m_options(options)
    , m_state(std::make_unique<State>())
{
    ical::initialise();
    if (!m_options.time)
        m_options.time = &TimeSource::system();
    m_state->watcher = new QFileSystemWatcher(this);
    m_state->settle = new QTimer(this);
    m_state->settle->setSingleShot(true);
    m_state->settle->setInterval(m_options.settleMs);
    connect(m_state->watcher, &QFileSystemWatcher::directoryChanged, m_state->settle, qOverload<>(&QTimer::start));
    connect(m_state->watcher, &QFileSystemWatcher::fileChanged, m_state->settle, qOverload<>(&QTimer::start));
    connect(m_state->settle, &QTimer::timeout, this, &IcalCalendarStore::startLoad);
}

IcalCalendarStore::~IcalCalendarStore()
{
    if (m_state->loader.joinable())
        m_state->loader.join();
}

CalendarAccess IcalCalendarStore::accessStatus() const
{
    return m_state->access;
}

bool IcalCalendarStore::isLoaded() const
{
    return m_state->snapshot != nullptr;
}

void IcalCalendarStore::requestFullAccess(AccessCallback done)
{
    if (m_state->access != CalendarAccess::notDetermined) {
        done(m_state->access == CalendarAccess::fullAccess);
        return;
    }
    m_state->waiting.push_back(std::move(done));
    if (!m_state->loading)
        startLoad();
}

void IcalCalendarStore::startLoad()
{
    if (m_state->loading) {
        m_state->reloadPending = true;
        return;
    }
    if (m_state->loader.joinable())
        m_state->loader.join();
    m_state->loading = true;
    m_state->zoneReloadAsked = false;
    const Instant now = m_options.time->now();
    const QTimeZone floating = platform::systemZone();
    m_state->loader = std::thread([this, previous = m_state->snapshot, now, floating, sources = m_sources] {
        std::shared_ptr<const Snapshot> snap = buildSnapshot(sources, previous.get(), now, m_options, floating);
        // Queued to this object: dropped if the store is gone (its destructor joins this thread first).
        QMetaObject::invokeMethod(
            this, [this, snap] { finishLoad(snap); }, Qt::QueuedConnection);
    });
}

void IcalCalendarStore::finishLoad(std::shared_ptr<const Snapshot> snapshot)
{
    m_state->loading = false;
    const bool first = !m_state->snapshot;
    const bool changedContent = !first && !sameContent(*m_state->snapshot, *snapshot);
    m_state->snapshot = std::move(snapshot);
    watch(*m_state->snapshot);
    if (m_state->access == CalendarAccess::notDetermined) {
        const auto& s = *m_state->snapshot;
        m_state->access =
            s.anySourceExists && !s.anySourceReadable ? CalendarAccess::denied : CalendarAccess::fullAccess;
        for (auto& done : std::exchange(m_state->waiting, {}))
            done(m_state->access == CalendarAccess::fullAccess);
    }
    Q_EMIT loaded();
    if (changedContent)
        Q_EMIT changed();
    if (m_state->reloadPending) {
        m_state->reloadPending = false;
        startLoad();
    }
}

void IcalCalendarStore::loadNow()
{
    if (m_state->loader.joinable())
        m_state->loader.join();
    auto snap =
        buildSnapshot(m_sources, m_state->snapshot.get(), m_options.time->now(), m_options, platform::systemZone());
    m_state->snapshot = std::move(snap);
    if (m_state->access == CalendarAccess::notDetermined) {
        const auto& s = *m_state->snapshot;
        m_state->access =
            s.anySourceExists && !s.anySourceReadable ? CalendarAccess::denied : CalendarAccess::fullAccess;
    }
}

void IcalCalendarStore::watch(const Snapshot& snapshot)
{
    QFileSystemWatcher* w = m_state->watcher;
    const QStringList wanted = snapshot.watchPaths;
    const QSet<QString> wantedSet(wanted.begin(), wanted.end());
    QStringList stale;
    for (const QString& p : w->files() + w->directories()) {
        if (!wantedSet.contains(p))
            stale.append(p);
    }
    if (!stale.isEmpty())
        w->removePaths(stale);
    const QStringList present = w->files() + w->directories();
    QStringList missing;
    for (const QString& p : wanted) {
        if (!present.contains(p))
            missing.append(p);
    }
    if (!missing.isEmpty())
        w->addPaths(missing);
}

std::vector<CalendarOccurrence> IcalCalendarStore::occurrences(Instant start, Instant end) const
{
    std::vector<CalendarOccurrence> result;
    const auto snap = m_state->snapshot;
    if (!snap || !(start < end) || !start.isCivil() || !end.isCivil())
        return result;
    // Floating times and dates were read in the zone of the load: a new system zone reads them anew.
    if (!m_state->zoneReloadAsked && platform::systemZone().id() != snap->floating.id()) {
        m_state->zoneReloadAsked = true;
        QMetaObject::invokeMethod(
            const_cast<IcalCalendarStore*>(this), &IcalCalendarStore::startLoad, Qt::QueuedConnection);
    }
    const Interval range{start, end};
    const double from = start.seconds - snap->maxShortLength;
    auto it = std::partition_point(
        snap->shortIndex.begin(), snap->shortIndex.end(), [from](const IndexEntry& e) { return e.start < from; });
    for (; it != snap->shortIndex.end() && it->start < end.seconds; ++it) {
        const ical::Occurrence& o = snap->at(*it);
        if (overlaps(o.start, o.end, range))
            result.push_back(snap->toOccurrence(it->file, o));
    }
    for (const IndexEntry& e : snap->longIndex) {
        const ical::Occurrence& o = snap->at(e);
        if (overlaps(o.start, o.end, range))
            result.push_back(snap->toOccurrence(e.file, o));
    }
    if (snap->rules.empty())
        return result;
    // Rule occurrences that start outside the window. Short rules: from the months that hold the
    // starts that can reach the range; a query over more months than are kept expands them directly.
    const Interval window = snap->window;
    auto outsideWindow = [&](double s) { return s < window.start.seconds || s >= window.end.seconds; };
    const int firstMonth = monthOf(start.seconds - snap->maxShortRuleLength);
    int lastMonth = monthOf(end.seconds);
    if (monthStart(lastMonth) >= end.seconds)
        --lastMonth; // starts lie before `end`
    std::vector<int> months;
    for (int m = firstMonth; m <= lastMonth; ++m) {
        if (monthStart(m) < window.start.seconds || monthStart(m + 1) > window.end.seconds)
            months.push_back(m);
    }
    const bool direct = static_cast<int>(months.size()) > snap->cachedMonths;
    if (!direct) {
        snap->ensureBlocks(months);
        for (int m : months) {
            for (const Snapshot::BlockEntry& e : snap->blocks.at(m).entries) {
                if (outsideWindow(e.occurrence.start) && overlaps(e.occurrence.start, e.occurrence.end, range))
                    result.push_back(snap->toOccurrence(e.file, e.occurrence));
            }
        }
    }
    if (!direct && !snap->anyLongRule)
        return result;
    std::vector<ical::Occurrence> expanded;
    for (const Snapshot::FileRules& rules : snap->rules) {
        const FileData& file = *snap->files[rules.file];
        expanded.clear();
        for (std::uint32_t r : rules.longRules) {
            if (auto overlapping = ical::expandRule(file.parsed.rules[r], file.zones, range, snap->floating))
                expanded.insert(expanded.end(), overlapping->begin(), overlapping->end());
        }
        if (direct) {
            const Interval reach{Instant{start.seconds - snap->maxShortRuleLength}, end};
            std::vector<double> lastStarts(snap->shortLastStarts.begin() + std::ptrdiff_t(rules.firstShort),
                                           snap->shortLastStarts.begin() +
                                               std::ptrdiff_t(rules.firstShort + rules.shortRules.size()));
            ical::expandRulesStartingIn(
                file.parsed.rules, rules.shortRules, lastStarts, file.zones, reach, snap->floating, expanded);
        }
        for (const ical::Occurrence& o : expanded) {
            if (outsideWindow(o.start) && overlaps(o.start, o.end, range))
                result.push_back(snap->toOccurrence(rules.file, o));
        }
    }
    return result;
}

IcalCalendarStore::Snapshot::Block IcalCalendarStore::Snapshot::expandMonth(int month,
                                                                            std::vector<double>& lastStarts) const
{
    Block block;
    const Interval range{Instant{monthStart(month)}, Instant{monthStart(month + 1)}};
    std::vector<ical::Occurrence> expanded;
    for (const FileRules& r : rules) {
        const FileData& file = *files[r.file];
        expanded.clear();
        ical::expandRulesStartingIn(file.parsed.rules,
                                    r.shortRules,
                                    std::span<double>(lastStarts).subspan(r.firstShort, r.shortRules.size()),
                                    file.zones,
                                    range,
                                    floating,
                                    expanded);
        for (const ical::Occurrence& o : expanded)
            block.entries.push_back(BlockEntry{o, r.file});
    }
    block.entries.shrink_to_fit();
    return block;
}

void IcalCalendarStore::Snapshot::ensureBlocks(const std::vector<int>& months) const
{
    const std::uint64_t use = ++uses;
    std::vector<int> missing;
    for (int m : months) {
        auto it = blocks.find(m);
        if (it == blocks.end())
            missing.push_back(m);
        else
            it->second.lastUse = use;
    }
    if (missing.empty())
        return;
    // Every month is the same whichever thread expands it; what one learns about where rules end is
    // merged afterwards.
    std::vector<Block> made(missing.size());
    std::vector<std::vector<double>> learned(missing.size(), shortLastStarts);
    parallelFor(missing.size(), [&](std::size_t k) { made[k] = expandMonth(missing[k], learned[k]); });
    for (std::size_t k = 0; k < missing.size(); ++k) {
        for (std::size_t i = 0; i < shortLastStarts.size(); ++i)
            shortLastStarts[i] = std::min(shortLastStarts[i], learned[k][i]);
        made[k].lastUse = use;
        blocks.insert_or_assign(missing[k], std::move(made[k]));
    }
    // Keep the most recently used months, never one this query needs.
    while (static_cast<int>(blocks.size()) > std::max(cachedMonths, static_cast<int>(months.size()))) {
        auto oldest = std::min_element(blocks.begin(), blocks.end(), [](const auto& a, const auto& b) {
            return a.second.lastUse < b.second.lastUse;
        });
        blocks.erase(oldest);
    }
}

QList<CalendarInfo> IcalCalendarStore::calendars() const
{
    return m_state->snapshot ? m_state->snapshot->calendars : QList<CalendarInfo>{};
}

QString IcalCalendarStore::unreadableSource() const
{
    return m_state->snapshot ? m_state->snapshot->unreadable : QString{};
}

} // namespace kalvix
