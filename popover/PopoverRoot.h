#pragma once
// The popover's content: for now the live date and time and a note that the calendar views follow.
#include <QWidget>

#include <functional>

class QLabel;

namespace kalvix {

class CalendarService;
class ClockModel;

class PopoverRoot final : public QWidget {
    Q_OBJECT
public:
    PopoverRoot(ClockModel& clock, CalendarService& calendar, QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* m_time = nullptr;
    std::function<void()> m_refresh;
};

} // namespace kalvix
