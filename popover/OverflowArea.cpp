#include "popover/OverflowArea.h"

#include <QApplication>
#include <QEvent>
#include <QLayout>
#include <QScrollBar>

#include <algorithm>

namespace kalvix {
namespace {

// How far past a newly focused control the area scrolls, so that it does not sit against the edge.
constexpr int kScrollFocusMargin = 8;

} // namespace

OverflowArea::OverflowArea(QWidget* content, QWidget* parent)
    : QScrollArea(parent)
{
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFocusPolicy(Qt::NoFocus); // the controls inside are the tab stops, not the area
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    setWidgetResizable(true);
    if (content->layout())
        m_rightMargin = content->layout()->contentsMargins().right();
    setWidget(content);
    // The layout's own background shows through: the area paints nothing.
    content->setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    setAutoFillBackground(false);
    content->installEventFilter(this);
    verticalScrollBar()->installEventFilter(this);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now && widget() && widget()->isAncestorOf(now))
            ensureWidgetVisible(now, 0, kScrollFocusMargin);
    });
}

// The part of the content's right margin that the scroll bar holds now.
int OverflowArea::barShare() const
{
    const QLayout* layout = widget() ? widget()->layout() : nullptr;
    return layout ? m_rightMargin - layout->contentsMargins().right() : 0;
}

int OverflowArea::naturalHeight(int width) const
{
    QWidget* content = widget();
    if (!content)
        return 0;
    if (content->layout())
        content->layout()->activate();
    // Asked as if the bar were not there: the content at its full margin.
    const int contentWidth = width - barShare();
    return content->hasHeightForWidth() ? content->heightForWidth(contentWidth) : content->sizeHint().height();
}

bool OverflowArea::overflows() const
{
    return verticalScrollBar()->maximum() > 0;
}

QSize OverflowArea::sizeHint() const
{
    QWidget* content = widget();
    if (!content)
        return QScrollArea::sizeHint();
    const int hintWidth = content->sizeHint().width();
    // Before a layout gave the area its width, the content's own width stands for it.
    const int width = testAttribute(Qt::WA_Resized) ? this->width() : hintWidth;
    return QSize(hintWidth, naturalHeight(width));
}

// Any size: the layout holding the area gives it its width, and the screen its height.
QSize OverflowArea::minimumSizeHint() const
{
    return QSize(0, 0);
}

bool OverflowArea::event(QEvent* event)
{
    // The content changed its size: the layout holding the area must ask again.
    if (event->type() == QEvent::LayoutRequest)
        updateGeometry();
    return QScrollArea::event(event);
}

bool OverflowArea::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == widget() && event->type() == QEvent::LayoutRequest)
        updateGeometry(); // also while hidden, when the viewport hears nothing
    if (watched == verticalScrollBar() && (event->type() == QEvent::Show || event->type() == QEvent::Hide))
        lendMarginToBar();
    return QScrollArea::eventFilter(watched, event);
}

void OverflowArea::resizeEvent(QResizeEvent* event)
{
    QScrollArea::resizeEvent(event);
    fitContentWidth();
}

// The content is as wide as the viewport, whatever its parts would like: never wider, so nothing runs
// under the scroll bar, and only the height scrolls.
void OverflowArea::fitContentWidth()
{
    if (QWidget* content = widget(); content && content->width() != viewport()->width())
        content->setFixedWidth(viewport()->width());
}

void OverflowArea::lendMarginToBar()
{
    QLayout* layout = widget() ? widget()->layout() : nullptr;
    if (!layout)
        return;
    const int bar = verticalScrollBar()->isVisibleTo(this) ? verticalScrollBar()->sizeHint().width() : 0;
    QMargins margins = layout->contentsMargins();
    margins.setRight(std::max(0, m_rightMargin - bar));
    if (margins != layout->contentsMargins())
        layout->setContentsMargins(margins);
    fitContentWidth();
}

} // namespace kalvix
