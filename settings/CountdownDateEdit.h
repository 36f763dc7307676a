#pragma once
// The date-only picker of a countdown row: a date editor with a calendar pop-up over the days of
// CountdownDates (1 January 100 to 31 December 9999), in the locale's short form with four-digit years.
//
// It shows the local day of the countdown's instant and reports the instant of each day the user picks,
// keystroke by keystroke, keeping the time of day. Nothing is refused silently: when the typed text is no
// day it can take, or the day cannot be stored, it draws a red ring and says why in its tool tip; a stored
// instant it cannot show reads "No date" and stays stored until the user picks a day. Text is judged once
// every part of the date is typed out, or when the editing ends (Enter, or the focus leaves): "2" on the way
// to "25" is no mistake.
//
// A click into the text selects the part of the date under the pointer, so digits typed next replace it.
#include "time/Instant.h"

#include <QDateEdit>

namespace kalvix {
class TimeSource;
}

namespace kalvix::settings {

class CountdownDateEdit final : public QDateEdit {
    Q_OBJECT
public:
    // `time` tells today, where the calendar opens for a day it cannot show; it must outlive the editor.
    explicit CountdownDateEdit(const TimeSource& time, QWidget* parent = nullptr);

    // Shows `date` without reporting it.
    void setInstant(Instant date);
    Instant instant() const { return m_instant; }

    // Whether the stored instant is one the picker cannot show.
    bool showsNoDate() const { return m_noDate; }
    // Whether the red ring is up: the text is no day the picker takes, or the day could not be stored.
    bool isRefusing() const { return m_refusing; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    // The user picked a day; `date` is the instant to store.
    void instantPicked(kalvix::Instant date);

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void pick(QDate day);
    void setRefusing(bool refusing);
    void setNoDate(bool noDate);
    void watchCalendar();
    // Whether every part of the date has as many digits as the format asks for at least.
    bool textComplete() const;

    const TimeSource& m_time;
    Instant m_instant;
    bool m_watchingCalendar = false;
    Instant m_instantAtFocus; // the day before this round of typing, for a year typed too long
    bool m_noDate = false;
    bool m_refusing = false;
    bool m_showing = false;
};

} // namespace kalvix::settings
