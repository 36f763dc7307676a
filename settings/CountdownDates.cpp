#include "settings/CountdownDates.h"

#include <QRegularExpression>

namespace kalvix::settings {

QDate firstPickableDate()
{
    return QDate(100, 1, 1);
}

QDate lastPickableDate()
{
    return QDate(9999, 12, 31);
}

std::optional<QDate> pickerDate(Instant date, const CivilCalendar& calendar)
{
    const std::optional<CivilDate> civil = calendar.dateOf(date);
    if (!civil)
        return std::nullopt;
    const QDate day(civil->year, civil->month, civil->day);
    if (!day.isValid() || day < firstPickableDate() || day > lastPickableDate())
        return std::nullopt;
    return day;
}

std::optional<Instant> pickedInstant(QDate day, Instant previous, const CivilCalendar& calendar)
{
    if (!day.isValid() || day < firstPickableDate() || day > lastPickableDate())
        return std::nullopt;
    const CivilDate civil{day.year(), day.month(), day.day()};
    std::optional<Instant> result;
    if (const std::optional<CivilTime> time = calendar.timeOf(previous))
        result = calendar.instantOf(civil, *time);
    // The last day's evening can lie past the model's range west of Greenwich: its start still fits.
    if (!result || !result->isCivil() || pickerDate(*result, calendar) != day)
        result = calendar.startOfDay(civil);
    if (!result || !result->isCivil())
        return std::nullopt;
    return result;
}

QString pickerDateFormat(const QLocale& locale)
{
    QString format = locale.dateFormat(QLocale::ShortFormat);
    // "yy" (and a lone "y") become "yyyy"; a "yyyy" stays as it is.
    static const QRegularExpression years(QStringLiteral("y+"));
    format.replace(years, QStringLiteral("yyyy"));
    return format;
}

} // namespace kalvix::settings
