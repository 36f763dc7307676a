#include "clock/ClockModel.h"

#include "prefs/PreferencesStore.h"
#include "prefs/Prefs.h"
#include "time/SystemZone.h"
#include "time/TimeSource.h"

#include <QTimer>

#include <algorithm>
#include <cmath>

namespace kalvix {

ClockModel::ClockModel(PreferencesStore& prefs, const TimeSource& time, Timer timer, QObject* parent)
    : QObject(parent)
    , m_prefs(prefs)
    , m_time(time)
    , m_now(time.now())
{
    Prefs::registerDefaults(m_prefs);
    tick();
    if (timer == Timer::start) {
        m_timer = new QTimer(this);
        m_timer->setSingleShot(true);
        m_timer->setTimerType(Qt::PreciseTimer);
        connect(m_timer, &QTimer::timeout, this, [this] {
            tick();
            scheduleNextTick();
        });
        scheduleNextTick();
    }
}

ClockModel::~ClockModel() = default;

void ClockModel::scheduleNextTick()
{
    // Aim just past the next whole second, so the title turns with the wall clock instead of up to a
    // second late; re-aiming every tick also recovers from suspend and from clock changes.
    const double now = m_time.now().seconds;
    const double untilNextSecond = std::ceil(now) - now;
    const int ms = static_cast<int>(untilNextSecond * 1000.0) + 5;
    m_timer->start(std::clamp(ms, 5, 1005));
}

void ClockModel::tick()
{
    m_now = m_time.now();
    Q_EMIT nowChanged(m_now);
    rebuildFormatterIfNeeded();
    QString title = m_formatter.format(m_now, systemZone());
    if (title != m_menuBarTitle) {
        m_menuBarTitle = std::move(title);
        Q_EMIT menuBarTitleChanged(m_menuBarTitle);
    }
}

void ClockModel::rebuildFormatterIfNeeded()
{
    const bool showWeekday = m_prefs.value(Pref::showWeekday);
    const bool showYear = m_prefs.value(Pref::showYear);
    const bool showSeconds = m_prefs.value(Pref::showSeconds);
    const TimeStyle timeStyle = m_prefs.value(Pref::timeStyle);
    const DateStyle dateStyle = m_prefs.value(Pref::dateStyle);
    const QString localeId = currentLocaleId();

    const auto flag = [](bool b) { return b ? QStringLiteral("true") : QStringLiteral("false"); };
    const QString signature = flag(showWeekday) + u'|' + flag(showYear) + u'|' + flag(showSeconds) + u'|' +
                              QString::number(static_cast<int>(timeStyle)) + u'|' +
                              QString::number(static_cast<int>(dateStyle)) + u'|' + localeId;
    if (signature == m_formatSignature)
        return;
    m_formatSignature = signature;
    m_showsSeconds = showSeconds;
    m_formatter =
        DateFormatter(titlePattern(showWeekday, showYear, showSeconds, timeStyle, dateStyle, localeId), localeId);
}

QString ClockModel::titlePattern(bool showWeekday,
                                 bool showYear,
                                 bool showSeconds,
                                 TimeStyle timeStyle,
                                 DateStyle dateStyle,
                                 const QString& localeId)
{
    QString dateTemplate = QStringLiteral("dMMM");
    if (showWeekday)
        dateTemplate += QStringLiteral("EEE");
    if (showYear)
        dateTemplate += QStringLiteral("yyyy");

    QString timePart;
    if (timeStyle == TimeStyle::twentyFourHour) {
        timePart = showSeconds ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm");
    } else if (timeStyle == TimeStyle::twelveHour) {
        timePart = showSeconds ? QStringLiteral("h:mm:ss a") : QStringLiteral("h:mm a");
    } else {
        timePart = bestPattern(showSeconds ? QStringLiteral("jmmss") : QStringLiteral("jmm"), localeId);
        if (timePart.isEmpty())
            timePart = QStringLiteral("HH:mm");
    }

    QString datePart;
    if (dateStyle == DateStyle::numeric) {
        datePart = showYear ? QStringLiteral("dd-MM-yyyy") : QStringLiteral("dd-MM");
        if (showWeekday)
            datePart = QStringLiteral("EEE ") + datePart;
    } else {
        datePart = bestPattern(dateTemplate, localeId);
        if (datePart.isEmpty())
            datePart = QStringLiteral("d MMM");
    }
    return datePart + u' ' + timePart;
}

} // namespace kalvix
