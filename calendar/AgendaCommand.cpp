#include "calendar/AgendaCommand.h"

#include "calendar/CalendarService.h"
#include "calendar/EventLabels.h"
#include "platform/CalendarStore.h"
#include "platform/SystemZone.h"
#include "platform/TimeSource.h"

#include <QDateTime>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

namespace kalvix {
namespace {

const QString kDeniedText = QStringLiteral("Kalvix needs calendar access to show your events.");
constexpr int kLoadWaitMs = 30 * 1000;

bool isTerminalControl(char16_t c)
{
    return c < 0x20 || c == 0x7f || (c >= 0x80 && c < 0xa0) || (c >= 0x202a && c <= 0x202e) ||
           (c >= 0x2066 && c <= 0x2069);
}

QString accessName(std::optional<bool> authorized)
{
    if (!authorized)
        return QStringLiteral("undecided");
    return *authorized ? QStringLiteral("granted") : QStringLiteral("denied");
}

QString localIso(Instant t)
{
    return QDateTime::fromMSecsSinceEpoch(t.toMSecs(), platform::systemZone()).toString(Qt::ISODate);
}

QString localDate(Instant t)
{
    return QDateTime::fromMSecsSinceEpoch(t.toMSecs(), platform::systemZone()).date().toString(Qt::ISODate);
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

void printAgendaJson(const CalendarService& service, Instant now, QTextStream& out)
{
    QJsonObject root{{QStringLiteral("access"), accessName(service.authorized())},
                     {QStringLiteral("now"), localIso(now)}};
    QJsonArray calendars;
    const CalendarStore& store = service.store();
    for (const CalendarInfo& c : store.calendars()) {
        calendars.append(QJsonObject{{QStringLiteral("name"), c.name},
                                     {QStringLiteral("path"), c.path},
                                     {QStringLiteral("color"), c.color.name()},
                                     {QStringLiteral("events"), c.events},
                                     {QStringLiteral("skipped"), c.skipped}});
    }
    if (service.authorized() == false)
        root.insert(QStringLiteral("unreadableSource"), store.unreadableSource());
    root.insert(QStringLiteral("calendars"), calendars);
    QJsonArray upNext;
    for (const DayEvent& e : service.upNext())
        upNext.append(eventJson(e, now));
    root.insert(QStringLiteral("upNext"), upNext);
    QJsonArray agenda;
    for (const AgendaDay& day : service.agenda()) {
        QJsonArray events;
        for (const DayEvent& e : day.events)
            events.append(eventJson(e, now));
        agenda.append(QJsonObject{{QStringLiteral("day"), localDate(day.day)},
                                  {QStringLiteral("title"), dayTitle(day.day, now)},
                                  {QStringLiteral("date"), dayMonthLabel(day.day)},
                                  {QStringLiteral("events"), events}});
    }
    root.insert(QStringLiteral("agenda"), agenda);
    out << QString::fromUtf8(QJsonDocument(root).toJson(QJsonDocument::Indented));
    out.flush();
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

void printAgendaText(const CalendarService& service, Instant now, QTextStream& out)
{
    if (service.authorized() != true) {
        out << "Calendar access: " << accessName(service.authorized()) << '\n' << kDeniedText << '\n';
        if (const QString unreadable = service.store().unreadableSource(); !unreadable.isEmpty())
            out << "Cannot read: " << printableText(unreadable) << '\n';
        out.flush();
        return;
    }
    out << "Calendar access: granted\n\nUp Next\n";
    if (service.upNext().isEmpty())
        out << "  No upcoming events\n";
    for (const DayEvent& e : service.upNext()) {
        out << "  " << relativeLabel(e, now).leftJustified(12) << ' ' << timeRangeLabel(e).leftJustified(15) << ' '
            << printableText(e.title) << '\n';
    }
    out << "\nAgenda\n";
    if (service.agenda().isEmpty())
        out << "  No upcoming events\n";
    for (const AgendaDay& day : service.agenda()) {
        out << "  " << dayTitle(day.day, now) << " (" << dayMonthLabel(day.day) << ")\n";
        for (const DayEvent& e : day.events)
            out << "    " << timeRangeLabel(e).leftJustified(15) << ' ' << printableText(e.title) << '\n';
    }
    out.flush();
}

int runAgendaCommand(bool json, QTextStream& out, CalendarService& calendar, const TimeSource& time)
{
    CalendarService* service = &calendar;
    if (!service->authorized()) {
        QEventLoop loop;
        QTimer timeout;
        timeout.setSingleShot(true);
        QObject::connect(service, &CalendarService::authorizedChanged, &loop, &QEventLoop::quit);
        QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
        timeout.start(kLoadWaitMs);
        loop.exec();
    }
    if (!service->authorized()) {
        out << "Calendar access: undecided (loading the calendars did not finish)\n";
        out.flush();
        return 1;
    }
    const Instant now = time.now();
    if (json)
        printAgendaJson(*service, now, out);
    else
        printAgendaText(*service, now, out);
    return *service->authorized() ? 0 : 2;
}

} // namespace kalvix
