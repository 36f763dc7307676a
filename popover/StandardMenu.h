#pragma once
// The menu of the Standard layout's header: the layout choice ("Standard", "Compact", the current one
// marked), "Settings…" and "Quit Kalvix". Choosing a layout writes the compactMode preference at once; the
// marks follow the preference whoever writes it.
#include <QMenu>

class QAction;

namespace kalvix {

struct AppContext;
namespace ui {
class BoolBinding;
}

class StandardMenu final : public QMenu {
    Q_OBJECT
public:
    explicit StandardMenu(AppContext& context, QWidget* parent = nullptr);

    QAction* standardAction() const { return m_standard; }
    QAction* compactAction() const { return m_compact; }
    QAction* settingsAction() const { return m_settings; }
    QAction* quitAction() const { return m_quit; }

private:
    void showMode();

    ui::BoolBinding* m_compactMode;
    QAction* m_standard;
    QAction* m_compact;
    QAction* m_settings;
    QAction* m_quit;
};

} // namespace kalvix
