#pragma once
// The large popover layout, 640 wide (PopoverRoot sets the width): from top to bottom the header, the
// one-time tip, the month grid beside Up Next, the world clocks beside the countdowns, and the footer with
// today's sunrise and sunset, separated by hairlines, 14 apart inside 24 of padding.
//
// It owns the month the grid shows: each time it is shown it returns to the current month and tells the
// calendar service, so the dots are those of that month.
//
// The header, tip banner, places row and footer are views of their own, made with the layout and held in
// places that the setters below can fill anew; a place left empty (or holding a hidden view, such as the
// dismissed tip) takes no room, and the hairline above the places row or the footer is drawn only when
// that section is there.
//
// When the screen has less room than the layout's natural height, the header stays and the rest scrolls
// (OverflowArea); where it fits, nothing scrolls and nothing moves.
#include <QWidget>

class QVBoxLayout;

namespace kalvix {

class CalendarAppNotice;

struct AppContext;
class Divider;
class MonthGridView;
class OverflowArea;
class UpNextView;

class StandardView final : public QWidget {
    Q_OBJECT
public:
    // `context` must outlive the view.
    explicit StandardView(AppContext& context, QWidget* parent = nullptr);

    // Each takes the widget into its place (replacing what was there) and owns it.
    void setHeader(QWidget* header);
    void setTipBanner(QWidget* banner);
    void setPlacesRow(QWidget* row);
    void setFooter(QWidget* footer);

    QWidget* header() const { return m_header; }
    QWidget* tipBanner() const { return m_tipBanner; }
    // Hidden until a request for the calendar application finds none.
    CalendarAppNotice* calendarAppNotice() const { return m_calendarAppNotice; }
    QWidget* placesRow() const { return m_placesRow; }
    QWidget* footer() const { return m_footer; }
    QWidget* calendarRow() const { return m_calendarRow; }
    MonthGridView* monthGrid() const { return m_grid; }
    UpNextView* upNext() const { return m_upNext; }
    // Everything below the header, scrolling when the layout is given less than its natural height.
    OverflowArea* body() const { return m_body; }

    // The natural height: nothing scrolled away.
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* makeCalendarRow();
    QWidget* makePlacesRow();
    void appear();
    void orderFocusChain();
    static void fill(QVBoxLayout* place, QWidget*& current, QWidget* widget);

    AppContext& m_context;
    QVBoxLayout* m_headerPlace;
    QVBoxLayout* m_tipPlace;
    QVBoxLayout* m_placesPlace;
    QVBoxLayout* m_footerPlace;
    Divider* m_placesDivider;
    Divider* m_footerDivider;
    QWidget* m_top = nullptr;
    OverflowArea* m_body = nullptr;
    QWidget* m_header = nullptr;
    QWidget* m_tipBanner = nullptr;
    CalendarAppNotice* m_calendarAppNotice = nullptr;
    QWidget* m_placesRow = nullptr;
    QWidget* m_footer = nullptr;
    QWidget* m_calendarRow = nullptr;
    MonthGridView* m_grid = nullptr;
    UpNextView* m_upNext = nullptr;
};

} // namespace kalvix
