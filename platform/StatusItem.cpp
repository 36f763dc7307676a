#include "platform/StatusItem.h"

#include "platform/SniStatusItem.h"
#include "platform/XEmbedStatusItem.h"

#include <QDBusConnection>

namespace kalvix {

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
