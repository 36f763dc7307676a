#pragma once
// The menu of the Standard layout's header: the layout choice (ViewModePicker's "Standard" and "Compact",
// the current one marked), "Settings…" and "Quit Kalvix".
#include <QMenu>

class QAction;

namespace kalvix {

struct AppContext;
class StandardMenu final : public QMenu {
    Q_OBJECT
public:
    explicit StandardMenu(AppContext& context, QWidget* parent = nullptr);

    QAction* standardAction() const { return m_standard; }
    QAction* compactAction() const { return m_compact; }
    QAction* settingsAction() const { return m_settings; }
    QAction* quitAction() const { return m_quit; }

private:
    QAction* m_standard;
    QAction* m_compact;
    QAction* m_settings;
    QAction* m_quit;
};

} // namespace kalvix
