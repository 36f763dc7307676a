#pragma once
// "Up Next" in the Standard layout: a titled column with the next events of the calendar, or why there are
// none, and at its foot a link that opens the calendar application. Which content shows is decided afresh
// each time the service publishes; the rows' relative labels follow the clock every second while shown.
//
// On Linux, "no access" means the configured calendar sources exist but none could be read; its button
// opens the first such folder in the file manager, so the user can see what is wrong there.
#include "calendar/DayEvent.h"

#include <QList>
#include <QWidget>

#include <optional>

class QPushButton;

namespace kalvix {

struct AppContext;
class EventRow;

namespace ui {
class PlainButton;
class TextLabel;
} // namespace ui

enum class UpNextState { requesting, denied, empty, list };

// The content for an access state and whether there are events to show.
UpNextState upNextState(CalendarAccess access, bool hasEvents);

class UpNextView final : public QWidget {
    Q_OBJECT
public:
    // `context` must outlive the view.
    explicit UpNextView(AppContext& context, QWidget* parent = nullptr);

    UpNextState state() const { return m_state; }
    QList<EventRow*> rows() const { return m_rows; }
    QWidget* contentWidget() const; // what the state shows
    ui::TextLabel* emptyText() const { return m_empty; }
    QPushButton* openFolderButton() const { return m_openFolder; }
    ui::PlainButton* viewAllLink() const { return m_viewAll; }

private:
    QWidget* makeDenied();
    void refresh();
    void rebuildRows();

    AppContext& m_context;
    UpNextState m_state = UpNextState::requesting;
    ui::TextLabel* m_requesting;
    ui::TextLabel* m_empty;
    QWidget* m_emptyBox = nullptr;
    QWidget* m_list;
    QWidget* m_denied = nullptr;
    QPushButton* m_openFolder = nullptr;
    ui::PlainButton* m_viewAll;
    QList<EventRow*> m_rows;
    QList<DayEvent> m_shownEvents;
};

} // namespace kalvix
