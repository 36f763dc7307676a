#pragma once
// The top of the Standard layout: today's full date over the big live clock, and at the far end the menu
// button (layout choice, Settings…, Quit Kalvix). Both texts are worked out afresh at every tick in the
// zone and locale of that moment, so a change of either shows at the next tick.
#include "time/Instant.h"

#include <QWidget>

namespace kalvix {

struct AppContext;
class BigTimeView;
class StandardMenu;
namespace ui {
class PlainButton;
class TextLabel;
} // namespace ui

class StandardHeader final : public QWidget {
    Q_OBJECT
public:
    explicit StandardHeader(AppContext& context, QWidget* parent = nullptr);

    ui::TextLabel* dateTitle() const { return m_date; }
    BigTimeView* bigTime() const { return m_bigTime; }
    ui::PlainButton* menuButton() const { return m_menuButton; }
    StandardMenu* menu() const { return m_menu; }

private:
    void tick(Instant now);
    void openMenu();

    ui::TextLabel* m_date;
    BigTimeView* m_bigTime;
    ui::PlainButton* m_menuButton;
    StandardMenu* m_menu;
};

} // namespace kalvix
