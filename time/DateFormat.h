#pragma once
// Locale-aware date patterns and formatting from CLDR data (ICU), with offsets from the system tz
// database: ICU is never asked for zone rules, only handed the wall-clock time the tz database gives.
//
// Patterns use UTS #35 date-field notation. Zone fields (z, Z, v, V, O, X) are not supported: the
// formatter sees wall-clock time only.
#include "time/Instant.h"

#include <QString>
#include <QStringList>
#include <QTimeZone>

#include <memory>

namespace kalvix {

// The locale's best pattern for a skeleton ("dMMMEEEyyyy", "jmm"), or an empty text when ICU has none.
QString bestPattern(const QString& skeleton, const QString& localeId);

// The locale's short time style ("h:mm a" in en_US, "HH:mm" in en_GB).
QString shortTimePattern(const QString& localeId);

// The first day of the week in the locale's calendar: 1 = Sunday, 2 = Monday, ... 7 = Saturday.
int firstWeekday(const QString& localeId);

// The locale's very short weekday symbols ("S", "M", "T", ... in English), seven of them, Sunday first.
QStringList veryShortWeekdaySymbols(const QString& localeId);

class DateFormatter {
public:
    // A formatter with no pattern: formats every instant to the empty text.
    DateFormatter();
    DateFormatter(const QString& pattern, const QString& localeId);
    ~DateFormatter();
    DateFormatter(DateFormatter&&) noexcept;
    DateFormatter& operator=(DateFormatter&&) noexcept;

    const QString& pattern() const { return m_pattern; }
    const QString& localeId() const { return m_localeId; }
    bool isValid() const { return m_impl != nullptr; }

    // Formats t as wall-clock time in zone. An instant outside any calendar gives the empty text.
    QString format(Instant t, const QTimeZone& zone) const;

    // A formatter kept per thread for repeated use with the same pattern and locale (labels that are
    // drawn every second). The reference stays valid until the thread ends.
    static const DateFormatter& cached(const QString& pattern, const QString& localeId);

private:
    struct Impl;
    QString m_pattern;
    QString m_localeId;
    std::unique_ptr<Impl> m_impl;
};

// Formats t in the system zone and current locale with the locale's best pattern for a skeleton.
QString formatSkeleton(Instant t, const QString& skeleton);

} // namespace kalvix
