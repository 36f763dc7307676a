#include "statusitem/StatusItem.h"

#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>

namespace kalvix {

StatusItem::~StatusItem()
{
    delete m_menu;
}

void StatusItem::popupMenu(QPoint at)
{
    if (!m_menu) {
        m_menu = new QMenu;
        m_menu->addAction(showCalendarText(), this, [this] { Q_EMIT activated(QRect()); });
        m_menu->addSeparator();
        m_menu->addAction(settingsText(), this, &StatusItem::settingsRequested);
        m_menu->addAction(quitText(), this, &StatusItem::quitRequested);
    }
    m_menu->popup(at.isNull() ? QCursor::pos() : at);
}

QRect StatusItem::anchorAt(int x, int y, QSize itemSize)
{
    if (x == 0 && y == 0)
        return {};
    if (x >= 0 && y >= 0 && x < itemSize.width() && y < itemSize.height())
        return {};
    // Compared, never computed with: any int is safe here, however far off it is.
    const QPoint point(x, y);
    for (const QScreen* screen : QGuiApplication::screens())
        if (screen->geometry().contains(point))
            return QRect(point, QSize(1, 1));
    return {};
}

} // namespace kalvix
