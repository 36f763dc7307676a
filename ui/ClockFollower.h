#pragma once
// Keeps a view that shows the time in step with the clock, at no cost while it is not on screen: the
// view is told every tick only while it is visible, and once more when it comes back, so a closed
// popover costs nothing per second and an opened one never shows a stale second.
#include "time/Instant.h"

#include <QObject>
#include <QPointer>

#include <functional>

class QWidget;

namespace kalvix {
class ClockModel;
}

namespace kalvix::ui {

class ClockFollower final : public QObject {
    Q_OBJECT
public:
    using OnTick = std::function<void(Instant now)>;

    // Follows `clock` for `view` (whose child it becomes). The default action repaints the view.
    ClockFollower(QWidget* view, ClockModel& clock, OnTick onTick = {});

    bool isFollowing() const { return bool(m_connection); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void start();
    void stop();
    void deliver(Instant now);

    QWidget* m_view;
    ClockModel& m_clock;
    OnTick m_onTick;
    QMetaObject::Connection m_connection;
};

} // namespace kalvix::ui
