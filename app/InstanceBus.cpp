#include "app/InstanceBus.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>

namespace kalvix {

const QString InstanceBus::serviceName = QStringLiteral("io.kalvix.Kalvix");
const QString InstanceBus::objectPath = QStringLiteral("/io/kalvix/Kalvix");
const QString InstanceBus::interfaceName = QStringLiteral("io.kalvix.Kalvix");

namespace {

class InstanceAdaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "io.kalvix.Kalvix")
public:
    explicit InstanceAdaptor(InstanceBus* bus)
        : QDBusAbstractAdaptor(bus)
        , m_bus(bus)
    {
    }

public Q_SLOTS: // named as on the bus
    void TogglePopover() { m_bus->togglePopover(); }
    void ShowSettings() { m_bus->showSettings(); }
    QString Title() const { return m_bus->title(); }

private:
    InstanceBus* m_bus;
};

} // namespace

InstanceBus::InstanceBus(Handlers handlers, QObject* parent)
    : QObject(parent)
    , m_handlers(std::move(handlers))
{
    new InstanceAdaptor(this);
}

bool InstanceBus::claim()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return false;
    const auto reply = bus.interface()->registerService(
        serviceName, QDBusConnectionInterface::DontQueueService, QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered)
        return false;
    m_claimed = bus.registerObject(objectPath, this, QDBusConnection::ExportAdaptors);
    return m_claimed;
}

bool InstanceBus::call(const QString& method, QString* error)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        if (error)
            *error = QStringLiteral("no session bus");
        return false;
    }
    const QDBusMessage reply =
        bus.call(QDBusMessage::createMethodCall(serviceName, objectPath, interfaceName, method), QDBus::Block, 5000);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        if (error)
            *error = reply.errorName() == u"org.freedesktop.DBus.Error.ServiceUnknown"
                         ? QStringLiteral("Kalvix is not running")
                         : reply.errorMessage();
        return false;
    }
    return true;
}

} // namespace kalvix

#include "InstanceBus.moc"
