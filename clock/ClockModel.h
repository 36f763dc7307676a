#pragma once
// The heartbeat: once a second it takes the time, publishes it as now(), and keeps menuBarTitle(),
// the status item's text, in the format the five menu-bar preferences choose.
//
// The formatter is rebuilt only when the preferences or the locale change (their signature), and the
// title is published only when its text changes. The zone is read at every tick, so a change of TZ
// or /etc/localtime shows at the next one. Main thread only.
#include "prefs/PrefKey.h"
#include "time/DateFormat.h"
#include "time/Instant.h"

#include <QObject>
#include <QString>

class QTimer;

namespace kalvix {

class PreferencesStore;
class TimeSource;

class ClockModel final : public QObject {
    Q_OBJECT
public:
    enum class Timer { start, none };

    // Registers the preference defaults, ticks once (so the title is ready before anyone subscribes)
    // and, unless told not to, starts the one-second timer.
    ClockModel(PreferencesStore& prefs, const TimeSource& time, Timer timer = Timer::start, QObject* parent = nullptr);
    ~ClockModel() override;

    Instant now() const { return m_now; }
    const QString& menuBarTitle() const { return m_menuBarTitle; }
    const QString& formatSignature() const { return m_formatSignature; }
    const QString& pattern() const { return m_formatter.pattern(); }
    // Whether the title shows seconds, so it turns every second rather than every minute (what a copy of
    // it kept elsewhere needs to know of how long it stays true). Follows the title, not the preference.
    bool showsSeconds() const { return m_showsSeconds; }

    // One beat: runs from the timer; tests call it directly.
    void tick();

    // The title pattern for a set of menu-bar preferences in a locale.
    static QString titlePattern(bool showWeekday,
                                bool showYear,
                                bool showSeconds,
                                TimeStyle timeStyle,
                                DateStyle dateStyle,
                                const QString& localeId);

Q_SIGNALS:
    // Every tick, whether or not the title changed.
    void nowChanged(kalvix::Instant now);
    // Only when the text differs from the previous title.
    void menuBarTitleChanged(const QString& title);

private:
    void rebuildFormatterIfNeeded();
    void scheduleNextTick();

    PreferencesStore& m_prefs;
    const TimeSource& m_time;
    Instant m_now;
    QString m_menuBarTitle;
    QTimer* m_timer = nullptr;
    DateFormatter m_formatter;
    QString m_formatSignature;
    bool m_showsSeconds = false;
};

} // namespace kalvix
