#include "platform/StatusItem.h"

#include "platform/SniStatusItem.h"
#include "platform/XEmbedStatusItem.h"

#include <QDBusConnection>
#include <QMenu>

namespace kalvix {

StatusItem::~StatusItem()
{
    delete m_menu;
}

void StatusItem::popupMenu(QPoint at)
{
    if (!m_menu) {
        m_menu = new QMenu;
        m_menu->addAction(showCalendarText(), this, [this] { Q_EMIT activated(QPoint()); });
        m_menu->addSeparator();
        m_menu->addAction(settingsText(), this, &StatusItem::settingsRequested);
        m_menu->addAction(quitText(), this, &StatusItem::quitRequested);
    }
    m_menu->popup(at);
}

std::unique_ptr<StatusItem> StatusItem::create(QObject* parent)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (SniStatusItem::watcherPresent(bus))
        return std::make_unique<SniStatusItem>(bus, parent);
    if (XEmbedStatusItem::trayPresent())
        return std::make_unique<XEmbedStatusItem>(parent);
    // No host yet: an item on the bus registers itself as soon as a watcher appears.
    if (bus.isConnected())
        return std::make_unique<SniStatusItem>(bus, parent);
    return nullptr;
}

} // namespace kalvix
