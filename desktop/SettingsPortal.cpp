#include "desktop/SettingsPortal.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace kalvix {
namespace {

const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kSettingsInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString kAppearance = QStringLiteral("org.freedesktop.appearance");
const QString kColorScheme = QStringLiteral("color-scheme");

} // namespace

SettingsPortal::SettingsPortal(QObject* parent)
    : QObject(parent)
{
    QDBusConnection::sessionBus().connect(kPortalService,
                                          kPortalPath,
                                          kSettingsInterface,
                                          QStringLiteral("SettingChanged"),
                                          this,
                                          SLOT(settingChanged(QDBusMessage)));
    askColorScheme();
}

uint SettingsPortal::colorSchemeValue(const QVariant& reply)
{
    QVariant value = reply;
    while (value.canConvert<QDBusVariant>() && value.userType() == qMetaTypeId<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    bool ok = false;
    const uint number = value.toUInt(&ok);
    return ok ? number : 0;
}

void SettingsPortal::askColorScheme()
{
    QDBusMessage call =
        QDBusMessage::createMethodCall(kPortalService, kPortalPath, kSettingsInterface, QStringLiteral("Read"));
    call << kAppearance << kColorScheme;
    // Answered later: start-up does not wait for a portal that may be slow to start or missing.
    auto* pending = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* watcher) {
        watcher->deleteLater();
        const QDBusPendingReply<QVariant> reply = *watcher;
        if (!reply.isError())
            Q_EMIT colorSchemeChanged(colorSchemeValue(reply.value()));
    });
}

void SettingsPortal::settingChanged(const QDBusMessage& message)
{
    const QList<QVariant> arguments = message.arguments(); // namespace, key, value
    if (arguments.size() == 3 && arguments[0].toString() == kAppearance && arguments[1].toString() == kColorScheme)
        Q_EMIT colorSchemeChanged(colorSchemeValue(arguments[2]));
}

} // namespace kalvix
