#include "calendarstore/CalendarStore.h"

namespace kalvix {

QString CalendarColor::name() const
{
    auto hex = [](std::uint8_t v) { return QStringLiteral("%1").arg(v, 2, 16, QLatin1Char('0')); };
    QString text = QLatin1Char('#') + hex(r) + hex(g) + hex(b);
    if (a != 255)
        text += hex(a);
    return text;
}

std::optional<CalendarColor> CalendarColor::fromName(QStringView text)
{
    text = text.trimmed();
    if (!text.startsWith(QLatin1Char('#')))
        return std::nullopt;
    text = text.mid(1);
    for (QChar c : text) {
        if (!c.isDigit() && !(c.toLower() >= QLatin1Char('a') && c.toLower() <= QLatin1Char('f')))
            return std::nullopt;
    }
    auto part = [&](qsizetype at, qsizetype len) {
        const int v = text.mid(at, len).toInt(nullptr, 16);
        return static_cast<std::uint8_t>(len == 1 ? v * 17 : v);
    };
    switch (text.size()) {
    case 3:
        return CalendarColor{part(0, 1), part(1, 1), part(2, 1), 255};
    case 6:
        return CalendarColor{part(0, 2), part(2, 2), part(4, 2), 255};
    case 8:
        return CalendarColor{part(0, 2), part(2, 2), part(4, 2), part(6, 2)};
    default:
        return std::nullopt;
    }
}

} // namespace kalvix
