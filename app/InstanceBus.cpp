#include "app/InstanceBus.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
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
    // The agenda command's output and exit status; answered when the calendars are loaded.
    QString Agenda(bool json, int& status)
    {
        m_bus->replyWithAgenda(json);
        status = 0;
        return {}; // not sent: the reply is delayed
    }

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

void InstanceBus::replyWithAgenda(bool json)
{
    // Bus calls reach the adaptor with this object's context.
    setDelayedReply(true);
    QDBusMessage call = message();
    QDBusConnection bus = connection();
    if (!m_handlers.agenda) {
        bus.send(call.createErrorReply(QDBusError::NotSupported, QStringLiteral("no calendars here")));
        return;
    }
    m_handlers.agenda(json, [call, bus](AgendaAnswer answer) mutable {
        bus.send(call.createReply(QVariantList{answer.first, answer.second}));
    });
}

std::optional<InstanceBus::AgendaAnswer> InstanceBus::callAgenda(bool json)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return std::nullopt;
    QDBusMessage call =
        QDBusMessage::createMethodCall(serviceName, objectPath, interfaceName, QStringLiteral("Agenda"));
    call << json;
    const QDBusMessage reply = bus.call(call, QDBus::Block, 10000);
    const QList<QVariant> values = reply.arguments();
    if (reply.type() != QDBusMessage::ReplyMessage || values.size() != 2 || values[1].toInt() < 0)
        return std::nullopt;
    return AgendaAnswer{values[0].toString(), values[1].toInt()};
}

} // namespace kalvix

#include "InstanceBus.moc"
