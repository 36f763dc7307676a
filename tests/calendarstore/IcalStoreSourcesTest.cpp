// The store's sources: changing them while it runs, special files and symbolic-link loops among
// them, same-start order and identifiers across calendars, and months expanded ahead of the month
// grid. Loads run through the store's executor seam, so nothing here waits on a clock.
#include "calendarstore/CalendarSources.h"
#include "calendarstore/icalstore/IcalCalendarStore.h"
#include "calendarstore/icalstore/WatchedWork.h"
#include "tests/support/CalendarTestSupport.h"
#include "tests/support/FakeTimeSource.h"

#include <QSignalSpy>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

#include <condition_variable>
#include <deque>
#include <mutex>

using namespace kalvix;
using namespace kalvix::test;

namespace {

QByteArray calendar(const QByteArray& body)
{
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Test//EN\r\n" + body + "END:VCALENDAR\r\n";
}

QByteArray vevent(const QByteArray& uid, const QByteArray& start, const QByteArray& more = {})
{
    return "BEGIN:VEVENT\r\nUID:" + uid + "\r\nSUMMARY:" + uid + "\r\nDTSTART:" + start + "\r\n" + more +
           "END:VEVENT\r\n";
}

class Sources : public ::testing::Test {
protected:
    void SetUp() override
    {
        testApp();
        ASSERT_TRUE(m_dir.isValid());
    }

    QString path(const QString& relative) const { return m_dir.filePath(relative); }

    // A store whose tasks wait in `m_tasks` until the test runs them.
    std::unique_ptr<IcalCalendarStore> makeStore(QStringList sources)
    {
        IcalCalendarStore::Options options;
        options.time = &m_time;
        options.executor = [this](std::function<void()> task) { m_tasks.push_back(std::move(task)); };
        options.patience = m_patience;
        options.retryMs = 1;
        return std::make_unique<IcalCalendarStore>(std::move(sources), options);
    }

    // Runs the waiting tasks (and those they cause), then delivers their results.
    void runTasks()
    {
        while (!m_tasks.empty()) {
            auto task = std::move(m_tasks.front());
            m_tasks.pop_front();
            task();
        }
        QCoreApplication::processEvents();
    }

    std::unique_ptr<IcalCalendarStore> loaded(QStringList sources, bool* granted = nullptr)
    {
        auto store = makeStore(std::move(sources));
        std::optional<bool> answer;
        store->requestFullAccess([&](bool g) { answer = g; });
        runTasks();
        EXPECT_TRUE(answer.has_value());
        if (granted)
            *granted = answer.value_or(false);
        return store;
    }

    std::vector<QString> titles(const IcalCalendarStore& store, Instant from, Instant to) const
    {
        std::vector<QString> out;
        for (const auto& o : store.occurrences(from, to))
            out.push_back(o.title.value_or(QString()));
        return out;
    }

    QTemporaryDir m_dir;
    FakeTimeSource m_time{local(2025, 3, 5, 10)};
    std::deque<std::function<void()>> m_tasks;
    std::chrono::milliseconds m_patience{3000};
};

// Holds every thread that reads a path containing `part` until it is opened; counts them. Shared,
// so a thread that is still held after the test has ended finds it alive.
struct HungPath {
    explicit HungPath(QString pathPart)
        : part(std::move(pathPart))
    {
    }
    void hold(const QString& path)
    {
        if (!path.contains(part))
            return;
        std::unique_lock lock(mutex);
        ++holds;
        opened.wait(lock, [this] { return open; });
    }
    void release()
    {
        const std::lock_guard lock(mutex);
        open = true;
        opened.notify_all();
    }
    int count()
    {
        const std::lock_guard lock(mutex);
        return holds;
    }
    const QString part;
    std::mutex mutex;
    std::condition_variable opened;
    bool open = false;
    int holds = 0;
};

using Titles = std::vector<QString>;

} // namespace

TEST_F(Sources, newSourcesAreReadAtOnceAndAnnounced)
{
    writeFile(path(u"work.ics"_qs), calendar(vevent("work", "20250310T090000Z")));
    writeFile(path(u"home.ics"_qs), calendar(vevent("home", "20250310T100000Z")));
    auto store = loaded({path(u"work.ics"_qs)});
    QSignalSpy changed(store.get(), &CalendarStore::changed);
    store->setSources({path(u"work.ics"_qs), path(u"home.ics"_qs)});
    runTasks();
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(titles(*store, local(2025, 3, 10), local(2025, 3, 11)), (Titles{u"work"_qs, u"home"_qs}));
    store->setSources({path(u"work.ics"_qs), path(u"home.ics"_qs)});
    EXPECT_TRUE(m_tasks.empty()) << "the same sources are not read again";
}

TEST_F(Sources, specialFilesAreNeverReadAsCalendars)
{
    const QString fifo = path(u"pipe.ics"_qs);
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    bool granted = true;
    auto onlyFifo = loaded({fifo}, &granted);
    EXPECT_FALSE(granted) << "a FIFO is a source that cannot be read";
    EXPECT_EQ(onlyFifo->unreadableSource(), fifo);
    EXPECT_TRUE(onlyFifo->calendars().isEmpty());

    writeFile(path(u"cal.ics"_qs), calendar(vevent("a", "20250310T090000Z")));
    auto mixed = loaded({u"/dev/null"_qs, fifo, path(u"cal.ics"_qs)}, &granted);
    EXPECT_TRUE(granted);
    EXPECT_EQ(mixed->unreadableSource(), u"/dev/null"_qs);
    ASSERT_EQ(mixed->calendars().size(), 1) << "a device is no empty calendar";
    EXPECT_EQ(mixed->calendars()[0].events, 1);
}

TEST_F(Sources, linkLoopsAreFollowedOnceForEachRealFolder)
{
    const QString root = path(u"cals"_qs);
    writeFile(root + u"/work/a.ics"_qs, calendar(vevent("a", "20250310T090000Z")));
    // Thirty links back to the root and thirty to the calendar: a scan that followed them all would
    // look at more folders than there are atoms in a star.
    for (int i = 0; i < 30; ++i) {
        ASSERT_EQ(::symlink(QFile::encodeName(root).constData(),
                            QFile::encodeName(root + u"/loop"_qs + QString::number(i)).constData()),
                  0);
        ASSERT_EQ(::symlink(QFile::encodeName(root + u"/work"_qs).constData(),
                            QFile::encodeName(root + u"/work/again"_qs + QString::number(i)).constData()),
                  0);
    }
    auto store = loaded({root});
    ASSERT_EQ(store->calendars().size(), 1);
    EXPECT_EQ(titles(*store, local(2025, 3, 10), local(2025, 3, 11)), (Titles{u"a"_qs}));
    for (int turn = 0; turn < 5; ++turn)
        QCoreApplication::processEvents(); // the watcher takes its paths in batches
    EXPECT_LE(store->watchedPathCount(), 3) << "two real folders and one file";
}

// The same events as one file and as a vdir of one event per file, in two calendars, all at 09:00.
TEST_F(Sources, sameStartEventsComeInTheOrderOfCalendarsFilesAndEventsWithQualifiedIds)
{
    const QByteArray a = vevent("shared", "20250310T090000Z");
    const QByteArray b = vevent("b", "20250310T090000Z");
    const QByteArray c = vevent("c", "20250310T090000Z");
    writeFile(path(u"one/work.ics"_qs), calendar(a + b + c));
    writeFile(path(u"vdir/1.ics"_qs), calendar(a));
    writeFile(path(u"vdir/2.ics"_qs), calendar(b));
    writeFile(path(u"vdir/3.ics"_qs), calendar(c));
    writeFile(path(u"personal/p.ics"_qs), calendar(vevent("shared", "20250310T090000Z")));
    auto fromFile = loaded({path(u"one/work.ics"_qs), path(u"personal"_qs)});
    auto fromVdir = loaded({path(u"vdir"_qs), path(u"personal"_qs)});
    const Titles expected{u"shared"_qs, u"b"_qs, u"c"_qs, u"shared"_qs};
    EXPECT_EQ(titles(*fromFile, local(2025, 3, 10), local(2025, 3, 11)), expected);
    EXPECT_EQ(titles(*fromVdir, local(2025, 3, 10), local(2025, 3, 11)), expected);
    const auto both = fromFile->occurrences(local(2025, 3, 10), local(2025, 3, 11));
    EXPECT_NE(both.front().identifier, both.back().identifier) << "one UID in two calendars: two ids";
    EXPECT_TRUE(both.front().identifier->endsWith(u"#shared"_qs));
}

TEST_F(Sources, monthsNextToAQueryAreExpandedAheadAndGiveTheSameOccurrences)
{
    writeFile(path(u"cal.ics"_qs),
              calendar(vevent("weekly", "20250303T090000Z", "RRULE:FREQ=WEEKLY;BYDAY=MO,TH\r\n") +
                       vevent("monthly", "20250131T230000Z", "RRULE:FREQ=MONTHLY;BYMONTHDAY=-1\r\n")));
    auto store = loaded({path(u"cal.ics"_qs)});
    IcalCalendarStore::Options plain;
    plain.time = &m_time;
    plain.cachedMonths = 1; // nothing kept: every query expands what it needs itself
    IcalCalendarStore reference({path(u"cal.ics"_qs)}, plain);
    reference.loadNow();

    const Instant june = local(2027, 6, 1);
    const Instant july = local(2027, 7, 1);
    const Instant august = local(2027, 8, 1);
    EXPECT_EQ(titles(*store, june, july), titles(reference, june, july));
    EXPECT_FALSE(m_tasks.empty()) << "the months around June wait for the worker";
    runTasks();
    EXPECT_EQ(titles(*store, july, august), titles(reference, july, august));
    EXPECT_EQ(titles(*store, local(2027, 5, 1), june), titles(reference, local(2027, 5, 1), june));
}

// A new user: a home with no folders at all, no configuration, nothing in the XDG variables. The only
// source is Kalvix's own folder, which does not exist yet: that is no error, and once made it is read.
TEST_F(Sources, aHomeWithNoFoldersGivesAccessToNoCalendarsUntilKalvixsFolderIsMade)
{
    const QString home = path(u"home"_qs);
    ASSERT_TRUE(QDir().mkpath(home));
    const ScopedEnv homeEnv{"HOME", QFile::encodeName(home).constData()};
    const ScopedEnv configEnv{"XDG_CONFIG_HOME", nullptr};
    const ScopedEnv dataEnv{"XDG_DATA_HOME", nullptr};
    const QString own = home + u"/.local/share/kalvix/calendars"_qs;
    const QStringList sources = standardCalendarSources();
    ASSERT_EQ(sources, QStringList{own});

    bool granted = false;
    auto store = loaded(sources, &granted);
    EXPECT_TRUE(granted) << "a source that does not exist yet is not one that cannot be read";
    EXPECT_EQ(store->accessStatus(), CalendarAccess::fullAccess);
    EXPECT_TRUE(store->calendars().isEmpty());
    EXPECT_TRUE(store->unreadableSource().isEmpty());
    EXPECT_TRUE(store->occurrences(local(2025, 3, 1), local(2025, 4, 1)).empty());
    EXPECT_EQ(QDir(home).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{})
        << "reading makes no folders in the user's home";

    for (int turn = 0; turn < 3; ++turn)
        QCoreApplication::processEvents(); // the watcher takes its paths
    EXPECT_EQ(store->watchedPathCount(), 1) << "the home";
    writeFile(own + u"/first.ics"_qs, calendar(vevent("first", "20250310T090000Z")));
    QCoreApplication::processEvents(); // the watcher reports the folder made in the home
    ASSERT_TRUE(store->changePending());
    store->settleNow();
    runTasks();
    EXPECT_EQ(titles(*store, local(2025, 3, 10), local(2025, 3, 11)), (Titles{u"first"_qs}));
    ASSERT_EQ(store->calendars().size(), 1);
    EXPECT_EQ(store->calendars()[0].path, own);
}

// `kalvix --agenda` gives up on a load that does not end and exits: the store goes away while its load
// still runs, and the load, when it ends, finds no store to report to.
TEST_F(Sources, aLoadThatOutlivesItsStoreReportsToNoOne)
{
    writeFile(path(u"cal.ics"_qs), calendar(vevent("a", "20250310T090000Z")));
    auto store = makeStore({path(u"cal.ics"_qs)});
    std::optional<bool> answer;
    store->requestFullAccess([&](bool granted) { answer = granted; });
    ASSERT_EQ(m_tasks.size(), 1u) << "the load waits for the worker";
    store.reset();
    runTasks(); // the load ends after its store: nothing is delivered, nothing is touched
    EXPECT_FALSE(answer.has_value());
}

// A source on a file system that does not answer (a hung network or FUSE mount), whether it hangs
// listing its folder or reading its file: the other calendar shows at once, the hung one is reported,
// a new load does not wait on it again, and its events come when it answers.
TEST_F(Sources, aSourceThatHangsHoldsBackNoOtherAndShowsWhenItAnswers)
{
    struct Case {
        const char* hangs;
        QString part;
    };
    for (const Case& c : {Case{"listing its folder", u"/mount"_qs}, Case{"reading its file", u"/mount/b.ics"_qs}}) {
        SCOPED_TRACE(c.hangs);
        QTemporaryDir dir;
        writeFile(dir.filePath(u"local/a.ics"_qs), calendar(vevent("local", "20250306T100000Z")));
        writeFile(dir.filePath(u"mount/b.ics"_qs), calendar(vevent("mounted", "20250307T100000Z")));
        auto hung = std::make_shared<HungPath>(c.part);
        ical::setIoHookForTesting([hung](const QString& path) { hung->hold(path); });
        m_patience = std::chrono::milliseconds(50);
        bool granted = false;
        auto store = loaded({dir.filePath(u"mount"_qs), dir.filePath(u"local"_qs)}, &granted);
        EXPECT_TRUE(granted);
        EXPECT_EQ(titles(*store, local(2025, 3, 6), local(2025, 3, 8)), (Titles{u"local"_qs}));
        EXPECT_TRUE(store->unreadableSource().startsWith(dir.filePath(u"mount"_qs)))
            << store->unreadableSource().toStdString();

        store->noteSourcesChanged();
        store->settleNow();
        runTasks();
        EXPECT_EQ(hung->count(), 1) << "a path that hangs holds one thread, not one a load";
        EXPECT_EQ(titles(*store, local(2025, 3, 6), local(2025, 3, 8)), (Titles{u"local"_qs}));

        QSignalSpy changed(store.get(), &CalendarStore::changed);
        hung->release();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !m_tasks.empty(); }, 10000)) << "the answer brings a load";
        runTasks();
        EXPECT_EQ(changed.count(), 1);
        EXPECT_EQ(titles(*store, local(2025, 3, 6), local(2025, 3, 8)), (Titles{u"local"_qs, u"mounted"_qs}));
        EXPECT_TRUE(store->unreadableSource().isEmpty());
        ical::setIoHookForTesting({});
    }
}
