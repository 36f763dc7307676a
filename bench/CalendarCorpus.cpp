#include "bench/CalendarCorpus.h"

#include <QDate>
#include <QDir>
#include <QFile>

#include <random>

namespace kalvix::bench {
namespace {

const QByteArray kLondon = "BEGIN:VTIMEZONE\r\nTZID:Europe/London\r\n"
                           "BEGIN:DAYLIGHT\r\nTZOFFSETFROM:+0000\r\nTZOFFSETTO:+0100\r\nTZNAME:BST\r\n"
                           "DTSTART:19700329T010000\r\nRRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU\r\nEND:DAYLIGHT\r\n"
                           "BEGIN:STANDARD\r\nTZOFFSETFROM:+0100\r\nTZOFFSETTO:+0000\r\nTZNAME:GMT\r\n"
                           "DTSTART:19701025T020000\r\nRRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU\r\nEND:STANDARD\r\n"
                           "END:VTIMEZONE\r\n";

QByteArray stamp(const QDate& d, int hour, int minute)
{
    return d.toString(u"yyyyMMdd").toLatin1() + 'T' + QByteArray::number(hour).rightJustified(2, '0') +
           QByteArray::number(minute).rightJustified(2, '0') + "00";
}

QByteArray event(int i, std::mt19937& rng)
{
    static const char* words[] = {"Planning",
                                  "Review",
                                  "Lunch",
                                  "Standup",
                                  "Call",
                                  "Workshop",
                                  "Dentist",
                                  "Gym",
                                  "Retro",
                                  "Interview",
                                  "Coffee",
                                  "Demo",
                                  "Sync",
                                  "Training",
                                  "Dinner",
                                  "Focus"};
    std::uniform_int_distribution<int> day(0, 4 * 365 - 1), hour(7, 18), minute(0, 3), word(0, 15), len(1, 4);
    const QDate date = QDate(2024, 1, 1).addDays(day(rng));
    const int h = hour(rng);
    const int m = minute(rng) * 15;
    QByteArray e = "BEGIN:VEVENT\r\nUID:kalvix-bench-" + QByteArray::number(i) + "@example.org\r\n" +
                   "DTSTAMP:20240101T000000Z\r\nSUMMARY:" + words[word(rng)] + ' ' + QByteArray::number(i) + "\r\n";
    const bool recurring = i % 10 == 0;
    const int kind = (i / 10) % 10;
    if (recurring && kind == 9) {
        e += "DTSTART;VALUE=DATE:" + date.toString(u"yyyyMMdd").toLatin1() + "\r\nRRULE:FREQ=YEARLY\r\n";
    } else if (i % 20 == 7) {
        e += "DTSTART;VALUE=DATE:" + date.toString(u"yyyyMMdd").toLatin1() +
             "\r\nDTEND;VALUE=DATE:" + date.addDays(len(rng)).toString(u"yyyyMMdd").toLatin1() + "\r\n";
    } else {
        const QByteArray zone = i % 3 == 0   ? QByteArray(";TZID=America/New_York")
                                : i % 3 == 1 ? QByteArray(";TZID=Europe/London")
                                             : QByteArray();
        e += "DTSTART" + zone + ':' + stamp(date, h, m) + "\r\nDURATION:PT" + QByteArray::number(len(rng) * 30) +
             "M\r\n";
        if (recurring) {
            if (kind < 6)
                e += "RRULE:FREQ=WEEKLY;BYDAY=MO,WE\r\n";
            else if (kind < 8)
                e += "RRULE:FREQ=DAILY;COUNT=" + QByteArray::number(10 + i % 50) + "\r\n";
            else
                e += "RRULE:FREQ=MONTHLY;UNTIL=20271231T000000Z\r\n";
        }
    }
    return e + "END:VEVENT\r\n";
}

void write(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}

} // namespace

CorpusPaths writeCalendarCorpus(const QString& folder, int events)
{
    const QByteArray head = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Kalvix//Bench//EN\r\n";
    CorpusPaths paths{folder + QStringLiteral("/big.ics"), folder + QStringLiteral("/vdir")};
    QDir(paths.vdir).removeRecursively();
    QDir().mkpath(paths.vdir);
    std::mt19937 rng(42);
    QByteArray big = head + kLondon;
    for (int i = 0; i < events; ++i) {
        const QByteArray e = event(i, rng);
        big += e;
        write(paths.vdir + QStringLiteral("/%1.ics").arg(i),
              head + (e.contains("Europe/London") ? kLondon : QByteArray()) + e + "END:VCALENDAR\r\n");
    }
    write(paths.bigFile, big + "END:VCALENDAR\r\n");
    write(paths.vdir + QStringLiteral("/color"), "#1e88e5\n");
    write(paths.vdir + QStringLiteral("/displayname"), "Bench\n");
    return paths;
}

} // namespace kalvix::bench
