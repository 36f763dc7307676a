#pragma once
// Said in the popover when the calendar application was asked for (a double click or Enter on a day, View
// All Events) and none is installed: on the tip's card, the plain fact, the one thing that can be done
// instead (open the folder Kalvix reads calendars from, where a calendar file dropped in shows at once)
// and a button to put the card away. Shown, it takes the keyboard focus on its offer; a request that
// opens the application hides it again.
#include "context/AppContext.h"

#include <QWidget>

class QPushButton;

namespace kalvix {

namespace ui {
class PlainButton;
class TextLabel;
} // namespace ui

class CalendarAppNotice final : public QWidget {
    Q_OBJECT
public:
    explicit CalendarAppNotice(AppContext& context, QWidget* parent = nullptr);

    // The folder the offer opens: the folder of the first calendar read, else Kalvix's own.
    QString calendarFolder() const;

    ui::TextLabel* textLabel() const { return m_text; }
    QPushButton* openFolderButton() const { return m_openFolder; }
    ui::PlainButton* dismissButton() const { return m_dismiss; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    AppContext& m_context;
    ui::TextLabel* m_text;
    QPushButton* m_openFolder;
    ui::PlainButton* m_dismiss;
};

// The reply a view passes with its request: it shows or hides the notice of the popover `asking` is in
// (the nearest one among its ancestors' children). Harmless once `asking` is gone.
CalendarAppReply calendarAppReply(QWidget* asking);

} // namespace kalvix
