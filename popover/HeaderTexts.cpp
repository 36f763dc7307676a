#include "popover/HeaderTexts.h"

#include "time/DateFormat.h"

namespace kalvix {
namespace {

// The first hour field outside quoted literal text ('h', 'H', 'k' or 'K'), or none.
QChar hourField(const QString& pattern)
{
    bool quoted = false;
    for (QChar c : pattern) {
        if (c == u'\'')
            quoted = !quoted;
        else if (!quoted && (c == u'h' || c == u'H' || c == u'k' || c == u'K'))
            return c;
    }
    return {};
}

const DateFormatter& formatter(const QString& pattern, const QString& localeId)
{
    return DateFormatter::cached(pattern, localeId);
}

} // namespace

bool prefersTwelveHours(const QString& localeId)
{
    const QChar field = hourField(bestPattern(QStringLiteral("jmm"), localeId));
    return field == u'h' || field == u'K';
}

BigClockText bigClockText(Instant now, const QTimeZone& zone, const QString& localeId)
{
    if (!prefersTwelveHours(localeId))
        return {formatter(QStringLiteral("HH:mm:ss"), localeId).format(now, zone), {}};
    return {formatter(QStringLiteral("h:mm:ss"), localeId).format(now, zone),
            formatter(QStringLiteral("a"), localeId).format(now, zone).toUpper()};
}

QString fullDateTitle(Instant now, const QTimeZone& zone, const QString& localeId)
{
    QString pattern = bestPattern(QStringLiteral("yMMMMEEEEd"), localeId);
    if (pattern.isEmpty())
        pattern = QStringLiteral("EEEE, d MMMM y");
    return formatter(pattern, localeId).format(now, zone);
}

} // namespace kalvix
