#pragma once
// The small popover layout, 300 wide (PopoverRoot sets the width): a small month grid, a row of three icon
// buttons (back to the Standard layout, Settings, quit) and, once the calendars can be read, a short agenda
// of the next days with events. While access is undecided or refused the agenda is absent, without a message.
//
// When the screen is shorter than the layout, the grid and the buttons stay and the agenda scrolls.
//
// Each time it is shown it returns the grid to the current month and tells the calendar service.
#include <QWidget>

namespace kalvix {

struct AppContext;
class CompactAgenda;
class MonthGridView;
class OverflowArea;

namespace ui {
template <typename T> class Binding;
class PlainButton;
} // namespace ui

class CompactView final : public QWidget {
    Q_OBJECT
public:
    // `context` must outlive the view.
    explicit CompactView(AppContext& context, QWidget* parent = nullptr);

    MonthGridView* monthGrid() const { return m_grid; }
    ui::PlainButton* expandButton() const { return m_expand; }
    ui::PlainButton* settingsButton() const { return m_settings; }
    ui::PlainButton* quitButton() const { return m_quit; }
    CompactAgenda* agenda() const { return m_agenda; }
    // The agenda's scrolling area.
    OverflowArea* agendaArea() const { return m_agendaArea; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* makeButtonRow();
    void showAgendaIfAuthorized();
    void appear();

    AppContext& m_context;
    ui::Binding<bool>* m_compactMode;
    MonthGridView* m_grid;
    ui::PlainButton* m_expand = nullptr;
    ui::PlainButton* m_settings = nullptr;
    ui::PlainButton* m_quit = nullptr;
    CompactAgenda* m_agenda;
    OverflowArea* m_agendaArea = nullptr;
};

} // namespace kalvix
