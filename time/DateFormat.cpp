#include "time/DateFormat.h"

#include "time/LocaleName.h"
#include "time/SystemZone.h"

#include <unicode/calendar.h>
#include <unicode/dtfmtsym.h>
#include <unicode/dtptngen.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>

#include <map>
#include <mutex>
#include <utility>

namespace kalvix {
namespace {

icu::UnicodeString toIcu(const QString& s)
{
    return icu::UnicodeString(reinterpret_cast<const UChar*>(s.utf16()), static_cast<int32_t>(s.size()));
}

QString fromIcu(const icu::UnicodeString& s)
{
    return QString(reinterpret_cast<const QChar*>(s.getBuffer()), s.length());
}

// Callers pass ids from currentLocaleId(), but any text reaches ICU only once it is known to be usable.
icu::Locale icuLocale(const QString& localeId)
{
    if (!isUsableIcuLocale(localeId))
        return icu::Locale(kFallbackLocale);
    return icu::Locale(localeId.toLatin1().constData());
}

// Building a pattern generator loads a locale's CLDR tables (about a millisecond); keep one per locale.
std::unique_ptr<icu::DateTimePatternGenerator>& generatorFor(const QString& localeId)
{
    thread_local std::map<QString, std::unique_ptr<icu::DateTimePatternGenerator>> generators;
    auto& slot = generators[localeId];
    if (!slot) {
        UErrorCode status = U_ZERO_ERROR;
        slot.reset(icu::DateTimePatternGenerator::createInstance(icuLocale(localeId), status));
        if (U_FAILURE(status))
            slot.reset();
    }
    return slot;
}

} // namespace

QString bestPattern(const QString& skeleton, const QString& localeId)
{
    auto& generator = generatorFor(localeId);
    if (!generator)
        return {};
    UErrorCode status = U_ZERO_ERROR;
    const icu::UnicodeString pattern = generator->getBestPattern(toIcu(skeleton), status);
    if (U_FAILURE(status))
        return {};
    return fromIcu(pattern);
}

QString shortTimePattern(const QString& localeId)
{
    std::unique_ptr<icu::DateFormat> format(
        icu::DateFormat::createTimeInstance(icu::DateFormat::kShort, icuLocale(localeId)));
    auto* simple = dynamic_cast<icu::SimpleDateFormat*>(format.get());
    if (!simple)
        return QStringLiteral("HH:mm");
    icu::UnicodeString pattern;
    simple->toPattern(pattern);
    return fromIcu(pattern);
}

int firstWeekday(const QString& localeId)
{
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Calendar> calendar(icu::Calendar::createInstance(icuLocale(localeId), status));
    if (U_FAILURE(status) || !calendar)
        return 1;
    return static_cast<int>(calendar->getFirstDayOfWeek(status));
}

QStringList veryShortWeekdaySymbols(const QString& localeId)
{
    UErrorCode status = U_ZERO_ERROR;
    const icu::DateFormatSymbols symbols(icuLocale(localeId), status);
    int32_t count = 0;
    const icu::UnicodeString* names =
        U_SUCCESS(status) ? symbols.getWeekdays(count, icu::DateFormatSymbols::FORMAT, icu::DateFormatSymbols::NARROW)
                          : nullptr;
    QStringList result;
    // ICU indexes the days by UCalendarDaysOfWeek: 1 = Sunday .. 7 = Saturday, entry 0 unused. Without
    // data for the locale, the English letters.
    static const char16_t english[] = u"SMTWTFS";
    for (int day = UCAL_SUNDAY; day <= UCAL_SATURDAY; ++day) {
        const QString name = names && day < count ? fromIcu(names[day]) : QString();
        result << (name.isEmpty() ? QString(QChar(english[day - UCAL_SUNDAY])) : name);
    }
    return result;
}

struct DateFormatter::Impl {
    std::unique_ptr<icu::SimpleDateFormat> format;
};

DateFormatter::DateFormatter() = default;
DateFormatter::~DateFormatter() = default;
DateFormatter::DateFormatter(DateFormatter&&) noexcept = default;
DateFormatter& DateFormatter::operator=(DateFormatter&&) noexcept = default;

DateFormatter::DateFormatter(const QString& pattern, const QString& localeId)
    : m_pattern(pattern)
    , m_localeId(localeId)
{
    UErrorCode status = U_ZERO_ERROR;
    auto format = std::make_unique<icu::SimpleDateFormat>(toIcu(pattern), icuLocale(localeId), status);
    if (U_FAILURE(status))
        return;
    // The formatter works in GMT on wall-clock time shifted by the tz database's offset; this keeps
    // ICU's own (stale) zone rules out of every result.
    format->adoptTimeZone(icu::TimeZone::getGMT()->clone());
    m_impl = std::make_unique<Impl>();
    m_impl->format = std::move(format);
}

QString DateFormatter::format(Instant t, const QTimeZone& zone) const
{
    if (!m_impl || !t.isCivil())
        return {};
    const qint64 ms = t.toMSecs();
    const int offset = zone.offsetFromUtc(QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc()));
    icu::UnicodeString out;
    m_impl->format->format(static_cast<UDate>(ms) + static_cast<UDate>(offset) * 1000.0, out);
    return fromIcu(out);
}

const DateFormatter& DateFormatter::cached(const QString& pattern, const QString& localeId)
{
    thread_local std::map<std::pair<QString, QString>, DateFormatter> formatters;
    // Patterns come from a small fixed set; the bound only guards against a runaway caller.
    if (formatters.size() > 64)
        formatters.clear();
    auto key = std::make_pair(pattern, localeId);
    auto it = formatters.find(key);
    if (it == formatters.end())
        it = formatters.emplace(key, DateFormatter(pattern, localeId)).first;
    return it->second;
}

QString formatSkeleton(Instant t, const QString& skeleton)
{
    const QString locale = currentLocaleId();
    return DateFormatter::cached(bestPattern(skeleton, locale), locale).format(t, systemZone());
}

} // namespace kalvix
