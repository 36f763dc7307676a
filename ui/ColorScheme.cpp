#include "ui/ColorScheme.h"

#include "ui/ColorRoles.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace kalvix::ui {
namespace {

const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kSettingsInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString kAppearance = QStringLiteral("org.freedesktop.appearance");
const QString kColorScheme = QStringLiteral("color-scheme");

// Read() answers a variant holding the value's variant; some portal versions answer the value directly.
uint portalValue(const QVariant& reply)
{
    QVariant value = reply;
    while (value.canConvert<QDBusVariant>() && value.userType() == qMetaTypeId<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    bool ok = false;
    const uint number = value.toUInt(&ok);
    return ok ? number : 0;
}

} // namespace

std::optional<ColorScheme> colorSchemeOverride()
{
    const QString value = qEnvironmentVariable("KALVIX_COLOR_SCHEME").trimmed().toLower();
    if (value == u"light")
        return ColorScheme::light;
    if (value == u"dark")
        return ColorScheme::dark;
    return std::nullopt;
}

ColorScheme colorSchemeFromPortal(uint value)
{
    switch (value) {
    case 1:
        return ColorScheme::dark;
    case 2:
        return ColorScheme::light;
    default:
        return ColorScheme::noPreference;
    }
}

QPalette paletteFor(std::optional<ColorScheme> override, ColorScheme desktop, const QPalette& platform)
{
    if (override == ColorScheme::light)
        return lightPalette();
    if (override == ColorScheme::dark)
        return darkPalette();
    if (isDark(platform))
        return platform; // the theme's own dark palette
    return desktop == ColorScheme::dark ? darkPalette() : platform;
}

DesktopColorScheme::DesktopColorScheme(bool listen, QObject* parent)
    : QObject(parent)
{
    qApp->installEventFilter(this);
    apply();
    if (listen && !colorSchemeOverride()) {
        QDBusConnection::sessionBus().connect(kPortalService,
                                              kPortalPath,
                                              kSettingsInterface,
                                              QStringLiteral("SettingChanged"),
                                              this,
                                              SLOT(portalSettingChanged(QDBusMessage)));
        askPortal();
    }
}

void DesktopColorScheme::askPortal()
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
            setDesktopScheme(colorSchemeFromPortal(portalValue(reply.value())));
    });
}

void DesktopColorScheme::portalSettingChanged(const QDBusMessage& message)
{
    const QList<QVariant> arguments = message.arguments(); // namespace, key, value
    if (arguments.size() == 3 && arguments[0].toString() == kAppearance && arguments[1].toString() == kColorScheme)
        setDesktopScheme(colorSchemeFromPortal(portalValue(arguments[2])));
}

void DesktopColorScheme::setDesktopScheme(ColorScheme scheme)
{
    if (scheme == m_desktop)
        return;
    m_desktop = scheme;
    apply();
}

void DesktopColorScheme::apply()
{
    m_applying = true;
    QApplication::setPalette(QPalette()); // back to the platform theme's palette, to look at it afresh
    const QPalette platform = QGuiApplication::palette();
    const QPalette chosen = paletteFor(colorSchemeOverride(), m_desktop, platform);
    if (chosen != platform)
        QApplication::setPalette(chosen);
    m_applying = false;
}

bool DesktopColorScheme::eventFilter(QObject* watched, QEvent* event)
{
    // The platform theme changed (a KDE colour scheme switched): decide again from its new palette.
    if (watched == qApp && event->type() == QEvent::ThemeChange && !m_applying)
        apply();
    return QObject::eventFilter(watched, event);
}

} // namespace kalvix::ui
