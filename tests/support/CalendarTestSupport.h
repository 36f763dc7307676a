#pragma once
// Helpers shared by the calendar tests: an application object for queued calls, local times in the
// pinned zone, occurrences in one line, and files written into a temporary folder.
#include "calendarstore/CalendarStore.h"
#include "tests/support/TestApplication.h"
#include "tests/support/TestEnv.h"
#include "time/CivilCalendar.h"
#include "time/SystemZone.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kalvix::test {

inline QCoreApplication& testApp()
{
    return testApplication();
}

inline void processQueued()
{
    testApp();
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

// An instant from a wall-clock time in the system zone (the pinned TZ).
inline Instant local(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    return *CivilCalendar::current().instantOf(CivilDate{y, mo, d}, CivilTime{h, mi, s});
}

inline Instant inZone(const char* zone, int y, int mo, int d, int h = 0, int mi = 0)
{
    return *CivilCalendar(QTimeZone(QByteArray(zone))).instantOf(CivilDate{y, mo, d}, CivilTime{h, mi, 0});
}

inline constexpr CalendarColor kRed{255, 0, 0, 255};
inline constexpr CalendarColor kGreen{0, 128, 0, 255};
inline constexpr CalendarColor kBlue{0, 0, 255, 255};
inline constexpr CalendarColor kGrey{128, 128, 128, 255};
inline constexpr CalendarColor kPink{255, 192, 203, 255};

inline CalendarOccurrence
timed(const char* title, Instant start, Instant end, CalendarColor color = kRed, const char* uid = nullptr)
{
    CalendarOccurrence o{start, end, false, QString::fromUtf8(title), std::nullopt, color, {}};
    o.identifier = QString::fromUtf8(uid ? uid : title);
    return o;
}

inline CalendarOccurrence allDay(const char* title, Instant start, Instant end, CalendarColor color = kRed)
{
    CalendarOccurrence o = timed(title, start, end, color);
    o.isAllDay = true;
    return o;
}

inline void writeFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    f.write(content);
}

} // namespace kalvix::test
