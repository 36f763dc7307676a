#pragma once
// The popover's content: for now the live date and time and a note that the calendar views follow.
#include <QWidget>

#include <functional>

class QLabel;

namespace kalvix {

struct AppContext;

class PopoverRoot final : public QWidget {
    Q_OBJECT
public:
    // `context` must outlive the view.
    explicit PopoverRoot(AppContext& context, QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* m_time = nullptr;
    std::function<void()> m_refresh;
};

} // namespace kalvix
