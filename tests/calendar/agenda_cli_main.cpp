// `kalvix --agenda` without the rest of the application, for the end-to-end test under faketime.
#include "app/SystemCalendar.h"
#include "calendar/AgendaCommand.h"
#include "prefs/Prefs.h"
#include "time/TimeSource.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const bool json = app.arguments().contains(QStringLiteral("--json"));
    QTextStream out(stdout);
    const auto calendar = kalvix::createSystemCalendarService(kalvix::Prefs::standard(), kalvix::TimeSource::system());
    return kalvix::runAgendaCommand(json, out, *calendar, kalvix::TimeSource::system());
}
