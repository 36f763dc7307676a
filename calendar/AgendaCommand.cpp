#include "calendar/AgendaCommand.h"

#include "calendar/CalendarService.h"
#include "calendar/EventLabels.h"
#include "calendar/UpcomingEvents.h"
#include "calendarstore/CalendarStore.h"
#include "time/CivilCalendar.h"
#include "time/SystemZone.h"
#include "time/TimeSource.h"

#include <QDateTime>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

namespace kalvix {
namespace {

const QString kDeniedText = QStringLiteral("Kalvix needs calendar access to show your events.");

bool isTerminalControl(char16_t c)
{
    return c < 0x20 || c == 0x7f || (c >= 0x80 && c < 0xa0) || (c >= 0x202a && c <= 0x202e) ||
           (c >= 0x2066 && c <= 0x2069);
}

QString accessName(CalendarAccess access)
{
    switch (access) {
    case CalendarAccess::notDetermined:
        break;
    case CalendarAccess::fullAccess:
        return QStringLiteral("granted");
    case CalendarAccess::denied:
        return QStringLiteral("denied");
    }
    return QStringLiteral("undecided");
}

QString localIso(Instant t)
{
    return QDateTime::fromMSecsSinceEpoch(t.toMSecs(), systemZone()).toString(Qt::ISODate);
}

QString localDate(Instant t)
{
    return QDateTime::fromMSecsSinceEpoch(t.toMSecs(), systemZone()).date().toString(Qt::ISODate);
}

QJsonObject eventJson(const DayEvent& e, Instant now)
{
    return QJsonObject{
        {QStringLiteral("id"), e.id},
        {QStringLiteral("title"), e.title},
        {QStringLiteral("start"), localIso(e.start)},
        {QStringLiteral("end"), localIso(e.end)},
        {QStringLiteral("allDay"), e.isAllDay},
        {QStringLiteral("color"), e.color.name()},
        {QStringLiteral("relative"), relativeLabel(e, now)},
        {QStringLiteral("timeRange"), timeRangeLabel(e)},
    };
}

} // namespace

AgendaReport AgendaReport::of(const CalendarStore& store, CalendarAccess access, Instant now)
{
    AgendaReport report{access, now, {}, {}, store.calendars(), store.unreadableSource()};
    if (access == CalendarAccess::fullAccess) {
        UpcomingEvents lists = UpcomingEvents::compute(store, now, CivilCalendar::current());
        report.upNext = std::move(lists.upNext);
        report.agenda = std::move(lists.agenda);
    }
    return report;
}

int AgendaReport::exitStatus() const
{
    switch (access) {
    case CalendarAccess::notDetermined:
        break;
    case CalendarAccess::fullAccess:
        return 0;
    case CalendarAccess::denied:
        return 2;
    }
    return 1;
}

QString AgendaReport::json() const
{
    QJsonObject root{{QStringLiteral("access"), accessName(access)}, {QStringLiteral("now"), localIso(now)}};
    QJsonArray calendarList;
    for (const CalendarInfo& c : calendars) {
        calendarList.append(QJsonObject{{QStringLiteral("name"), c.name},
                                        {QStringLiteral("path"), c.path},
                                        {QStringLiteral("color"), c.color.name()},
                                        {QStringLiteral("events"), c.events},
                                        {QStringLiteral("skipped"), c.skipped}});
        if (!c.problem.isEmpty()) {
            QJsonObject last = calendarList.last().toObject();
            last.insert(QStringLiteral("problem"), c.problem);
            calendarList.replace(calendarList.size() - 1, last);
        }
    }
    if (access == CalendarAccess::denied)
        root.insert(QStringLiteral("unreadableSource"), unreadableSource);
    root.insert(QStringLiteral("calendars"), calendarList);
    QJsonArray next;
    for (const DayEvent& e : upNext)
        next.append(eventJson(e, now));
    root.insert(QStringLiteral("upNext"), next);
    QJsonArray days;
    for (const AgendaDay& day : agenda) {
        QJsonArray events;
        for (const DayEvent& e : day.events)
            events.append(eventJson(e, now));
        days.append(QJsonObject{{QStringLiteral("day"), localDate(day.day)},
                                {QStringLiteral("title"), dayTitle(day.day, now)},
                                {QStringLiteral("date"), dayMonthLabel(day.day)},
                                {QStringLiteral("events"), events}});
    }
    root.insert(QStringLiteral("agenda"), days);
    return QString::fromUtf8(QJsonDocument(root).toJson(QJsonDocument::Indented));
}

QString printableText(const QString& text)
{
    QString out = text;
    for (QChar& c : out) {
        const char16_t u = c.unicode();
        if (u == u'\n' || u == u'\t' || u == u'\r')
            c = QLatin1Char(' ');
        else if (isTerminalControl(u))
            c = QChar(0xfffd);
    }
    return out;
}

QString AgendaReport::text() const
{
    QString out;
    QTextStream stream(&out);
    if (access == CalendarAccess::notDetermined) {
        stream << "Calendar access: undecided (loading the calendars did not finish)\n";
        return out;
    }
    if (access == CalendarAccess::denied) {
        stream << "Calendar access: denied\n" << kDeniedText << '\n';
        if (!unreadableSource.isEmpty())
            stream << "Cannot read: " << printableText(unreadableSource) << '\n';
        return out;
    }
    stream << "Calendar access: granted\n\nUp Next\n";
    if (upNext.isEmpty())
        stream << "  No upcoming events\n";
    for (const DayEvent& e : upNext) {
        stream << "  " << relativeLabel(e, now).leftJustified(12) << ' ' << timeRangeLabel(e).leftJustified(15) << ' '
               << printableText(e.title) << '\n';
    }
    stream << "\nAgenda\n";
    if (agenda.isEmpty())
        stream << "  No upcoming events\n";
    for (const AgendaDay& day : agenda) {
        stream << "  " << dayTitle(day.day, now) << " (" << dayMonthLabel(day.day) << ")\n";
        for (const DayEvent& e : day.events)
            stream << "    " << timeRangeLabel(e).leftJustified(15) << ' ' << printableText(e.title) << '\n';
    }
    // Calendars of the desktop's calendar service that would not open: the others are shown above.
    for (const CalendarInfo& c : calendars) {
        if (!c.problem.isEmpty())
            stream << "\nCannot read " << printableText(c.name) << ": " << printableText(c.problem) << '\n';
    }
    return out;
}

int runAgendaCommand(bool json, QTextStream& out, CalendarService& calendar, const TimeSource& time, int waitMs)
{
    CalendarService* service = &calendar;
    if (service->access() == CalendarAccess::notDetermined) {
        QEventLoop loop;
        QTimer timeout;
        timeout.setSingleShot(true);
        QObject::connect(service, &CalendarService::accessChanged, &loop, &QEventLoop::quit);
        QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
        timeout.start(waitMs);
        loop.exec();
    }
    const AgendaReport report = AgendaReport::of(service->store(), service->access(), time.now());
    out << (json ? report.json() : report.text());
    out.flush();
    return report.exitStatus();
}

} // namespace kalvix
