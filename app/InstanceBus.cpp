#include "app/InstanceBus.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QEventLoop>
#include <QTimer>

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

namespace {

// How long a dying instance may take to let go of the name, and a live one to answer.
constexpr int kHandOverMs = 5000;
constexpr int kPingMs = 2000;

// The name is queued for: when its owner answers, it is running and keeps it; when it does not (it was
// told to end a moment ago: a session restart, or an upgrade's autostart, starts the next one at once),
// the name comes to this process as the owner goes, and this one takes over.
bool waitForHandOver(QDBusConnection& bus)
{
    QDBusConnectionInterface* names = bus.interface();
    const QDBusMessage ping = bus.call(QDBusMessage::createMethodCall(InstanceBus::serviceName,
                                                                      InstanceBus::objectPath,
                                                                      QStringLiteral("org.freedesktop.DBus.Peer"),
                                                                      QStringLiteral("Ping")),
                                       QDBus::Block,
                                       kPingMs);
    const auto owned = [&] { return names->serviceOwner(InstanceBus::serviceName).value() == bus.baseService(); };
    if (ping.type() == QDBusMessage::ReplyMessage)
        return owned(); // alive: it keeps the name, unless it went in the meantime
    QEventLoop wait;
    QTimer bound;
    bound.setSingleShot(true);
    QObject::connect(&bound, &QTimer::timeout, &wait, &QEventLoop::quit);
    QObject::connect(names, &QDBusConnectionInterface::serviceRegistered, &wait, [&](const QString& name) {
        if (name == InstanceBus::serviceName)
            wait.quit();
    });
    if (owned())
        return true;
    bound.start(kHandOverMs);
    wait.exec();
    return owned();
}

} // namespace

bool InstanceBus::claim()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return false;
    const auto reply = bus.interface()->registerService(
        serviceName, QDBusConnectionInterface::QueueService, QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid())
        return false;
    if (reply.value() != QDBusConnectionInterface::ServiceRegistered && !waitForHandOver(bus)) {
        bus.interface()->unregisterService(serviceName); // out of the queue: this one does not run
        return false;
    }
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

std::optional<InstanceBus::AgendaAnswer> InstanceBus::callAgenda(bool json, int timeoutMs)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return std::nullopt;
    QDBusMessage call =
        QDBusMessage::createMethodCall(serviceName, objectPath, interfaceName, QStringLiteral("Agenda"));
    call << json;
    const QDBusMessage reply = bus.call(call, QDBus::Block, timeoutMs);
    const QList<QVariant> values = reply.arguments();
    if (reply.type() != QDBusMessage::ReplyMessage || values.size() != 2 || values[1].toInt() < 0)
        return std::nullopt;
    return AgendaAnswer{values[0].toString(), values[1].toInt()};
}

} // namespace kalvix

#include "InstanceBus.moc"
