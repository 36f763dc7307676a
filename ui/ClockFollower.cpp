#include "ui/ClockFollower.h"

#include "clock/ClockModel.h"

#include <QEvent>
#include <QWidget>

namespace kalvix::ui {

ClockFollower::ClockFollower(QWidget* view, ClockModel& clock, OnTick onTick)
    : QObject(view)
    , m_view(view)
    , m_clock(clock)
    , m_onTick(std::move(onTick))
{
    view->installEventFilter(this);
    if (view->isVisible())
        start();
}

bool ClockFollower::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_view) {
        if (event->type() == QEvent::Show) {
            start();
            deliver(m_clock.now()); // catch up with the seconds missed while hidden
        } else if (event->type() == QEvent::Hide) {
            stop();
        }
    }
    return QObject::eventFilter(watched, event);
}

void ClockFollower::start()
{
    if (!m_connection)
        m_connection = connect(&m_clock, &ClockModel::nowChanged, this, &ClockFollower::deliver);
}

void ClockFollower::stop()
{
    disconnect(m_connection);
    m_connection = {};
}

void ClockFollower::deliver(Instant now)
{
    if (m_onTick)
        m_onTick(now);
    else
        m_view->update();
}

} // namespace kalvix::ui
