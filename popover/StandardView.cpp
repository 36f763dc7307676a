#include "popover/StandardView.h"

#include "context/AppContext.h"
#include "popover/CalendarAppNotice.h"
#include "popover/CountdownsView.h"
#include "popover/Divider.h"
#include "popover/MonthGridView.h"
#include "popover/OverflowArea.h"
#include "popover/StandardHeader.h"
#include "popover/SunFooter.h"
#include "popover/TipBanner.h"
#include "popover/UpNextView.h"
#include "popover/WorldClocksView.h"
#include "time/TimeSource.h"

#include <QHBoxLayout>
#include <QShowEvent>
#include <QVBoxLayout>

namespace kalvix {
namespace {

constexpr int kStandardSpacing = 14;
constexpr int kStandardPadding = 24;
constexpr int kCalendarRowMinHeight = 280;
constexpr int kGridWidth = 280;
constexpr int kWorldClocksWidth = 330;

int heightAt(QWidget* widget, int width)
{
    return widget->hasHeightForWidth() ? widget->heightForWidth(width) : widget->sizeHint().height();
}

QVBoxLayout* makePlace()
{
    auto* place = new QVBoxLayout;
    place->setContentsMargins(0, 0, 0, 0);
    place->setSpacing(0);
    return place;
}

} // namespace

StandardView::StandardView(AppContext& context, QWidget* parent)
    : QWidget(parent)
    , m_context(context)
    , m_headerPlace(makePlace())
    , m_tipPlace(makePlace())
    , m_placesPlace(makePlace())
    , m_footerPlace(makePlace())
    , m_placesDivider(new Divider(Qt::Horizontal, this))
    , m_footerDivider(new Divider(Qt::Horizontal, this))
{
    // The header stays; everything below it scrolls when the screen is shorter than the layout. The body
    // spans the whole width, so its scroll bar takes the right padding and not the columns' room.
    auto* stack = new QVBoxLayout(this);
    stack->setSpacing(kStandardSpacing);
    stack->setContentsMargins(0, kStandardPadding, 0, 0);
    m_top = new QWidget(this);
    m_top->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    m_top->setLayout(m_headerPlace); // header: today's date, the big clock, the menu (setHeader)
    m_headerPlace->setContentsMargins(kStandardPadding, 0, kStandardPadding, 0);
    stack->addWidget(m_top);

    auto* body = new QWidget(this);
    auto* column = new QVBoxLayout(body);
    column->setSpacing(kStandardSpacing);
    column->setContentsMargins(kStandardPadding, 0, kStandardPadding, kStandardPadding);
    column->addLayout(m_tipPlace); // tip banner, until dismissed (setTipBanner)
    m_calendarAppNotice = new CalendarAppNotice(context, body);
    column->addWidget(m_calendarAppNotice);
    column->addWidget(new Divider(Qt::Horizontal, body));
    m_calendarRow = makeCalendarRow();
    column->addWidget(m_calendarRow);
    column->addWidget(m_placesDivider);
    column->addLayout(m_placesPlace); // world clocks beside countdowns (setPlacesRow)
    column->addWidget(m_footerDivider);
    column->addLayout(m_footerPlace); // sunrise and sunset at the home city (setFooter)
    m_placesDivider->hide();
    m_footerDivider->hide();
    m_body = new OverflowArea(body, this);
    stack->addWidget(m_body);

    setHeader(new StandardHeader(context, this));
    setTipBanner(new TipBanner(context.prefs, this));
    setPlacesRow(makePlacesRow());
    setFooter(new SunFooter(context, this));
}

// The whole layout with nothing scrolled away: the padding, the header, and the body's natural height.
int StandardView::heightForWidth(int width) const
{
    const QLayout* stack = layout();
    const QMargins margins = stack->contentsMargins();
    int height = margins.top() + margins.bottom() + m_body->naturalHeight(width);
    if (!m_top->isHidden())
        height += heightAt(m_top, width) + stack->spacing();
    return height;
}

QSize StandardView::sizeHint() const
{
    QSize hint = QWidget::sizeHint();
    hint.setHeight(heightForWidth(hint.width()));
    return hint;
}

// Tab follows the sections from the top, whichever of them was placed last (a widget joins the chain at
// its end when it is made or moved in); within a section the order it made is kept.
void StandardView::orderFocusChain()
{
    QList<QWidget*> stops;
    for (QWidget* section :
         {m_header, m_tipBanner, static_cast<QWidget*>(m_calendarAppNotice), m_calendarRow, m_placesRow, m_footer}) {
        if (!section)
            continue;
        for (QWidget* widget = nextInFocusChain(); widget != this; widget = widget->nextInFocusChain())
            if (section->isAncestorOf(widget) && (widget->focusPolicy() & Qt::TabFocus) && !widget->focusProxy())
                stops << widget;
    }
    for (qsizetype i = 1; i < stops.size(); ++i)
        QWidget::setTabOrder(stops.at(i - 1), stops.at(i));
}

// The world clocks in their fixed column beside the countdowns, which take the rest.
QWidget* StandardView::makePlacesRow()
{
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(kStandardSpacing);
    auto* clocks = new WorldClocksView(m_context, row);
    clocks->setSectionWidth(kWorldClocksWidth);
    layout->addWidget(clocks, 0, Qt::AlignTop);
    layout->addWidget(new Divider(Qt::Vertical, row));
    layout->addWidget(new CountdownsView(m_context, row), 1, Qt::AlignTop);
    return row;
}

QWidget* StandardView::makeCalendarRow()
{
    auto* row = new QWidget(this);
    row->setMinimumHeight(kCalendarRowMinHeight);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(kStandardSpacing);
    m_grid = new MonthGridView(m_context, false, row);
    m_grid->setFixedWidth(kGridWidth);
    layout->addWidget(m_grid, 0, Qt::AlignTop);
    layout->addWidget(new Divider(Qt::Vertical, row));
    m_upNext = new UpNextView(m_context, row);
    m_upNext->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    layout->addWidget(m_upNext, 1);
    return row;
}

void StandardView::fill(QVBoxLayout* place, QWidget*& current, QWidget* widget)
{
    if (current == widget)
        return;
    delete current;
    current = widget;
    if (widget)
        place->addWidget(widget);
}

void StandardView::setHeader(QWidget* header)
{
    fill(m_headerPlace, m_header, header);
    m_top->setVisible(header != nullptr);
    orderFocusChain();
}

void StandardView::setTipBanner(QWidget* banner)
{
    fill(m_tipPlace, m_tipBanner, banner);
    orderFocusChain();
}

void StandardView::setPlacesRow(QWidget* row)
{
    fill(m_placesPlace, m_placesRow, row);
    m_placesDivider->setVisible(row != nullptr);
    orderFocusChain();
}

void StandardView::setFooter(QWidget* footer)
{
    fill(m_footerPlace, m_footer, footer);
    m_footerDivider->setVisible(footer != nullptr);
    orderFocusChain();
}

void StandardView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        appear();
}

// Each showing starts again at the current month, also after the grid was moved to another.
void StandardView::appear()
{
    m_grid->appear(m_context.time.now());
}

} // namespace kalvix
