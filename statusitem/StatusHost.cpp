#include "statusitem/StatusHost.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFile>
#include <QRegularExpression>

namespace kalvix {
namespace {

struct KnownHost {
    const char* process; // a whole /proc comm name, or a pattern when it starts with '^'
    ItemLook look;
};

// Process names as the kernel keeps them (at most 15 characters).
constexpr KnownHost kHosts[] = {
    {"gnome-shell", ItemLook::label},               // the AppIndicator extension draws XAyatanaLabel
    {"indicator-appli", ItemLook::label},           // Ayatana/Unity indicator service
    {"xfce4-panel", ItemLook::squareIcon},          // the status tray inside the panel
    {"^panel-\\d+-systray$", ItemLook::squareIcon}, // the same plugin run by the panel's wrapper
    {"wrapper-2.0", ItemLook::squareIcon},
    {"lxqt-panel", ItemLook::squareIcon},
    {"plasmashell", ItemLook::squareIcon},
    {"kded5", ItemLook::squareIcon}, // Plasma's watcher lives in kded; its panel squares icons
    {"kded6", ItemLook::squareIcon},
    {"mate-panel", ItemLook::squareIcon},
    {"waybar", ItemLook::wideText},
};

struct DesktopHint {
    const char* desktop;
    ItemLook look;
};

constexpr DesktopHint kDesktops[] = {
    {"gnome", ItemLook::label},
    {"unity", ItemLook::label},
    {"ubuntu", ItemLook::label},
    {"xfce", ItemLook::squareIcon},
    {"lxqt", ItemLook::squareIcon},
    {"kde", ItemLook::squareIcon},
    {"mate", ItemLook::squareIcon},
};

bool matches(const char* known, const QString& process)
{
    const QString pattern = QString::fromLatin1(known);
    if (!pattern.startsWith(u'^'))
        return process == pattern;
    return QRegularExpression(pattern).match(process).hasMatch();
}

} // namespace

ItemLook lookForHost(const QString& process, const QString& currentDesktop)
{
    for (const KnownHost& host : kHosts)
        if (!process.isEmpty() && matches(host.process, process))
            return host.look;
    for (const QString& desktop : currentDesktop.toLower().split(u':', Qt::SkipEmptyParts))
        for (const DesktopHint& hint : kDesktops)
            if (desktop == QLatin1String(hint.desktop))
                return hint.look;
    return ItemLook::wideText;
}

QString processName(quint32 pid)
{
    if (pid == 0)
        return {};
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!comm.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(comm.read(64)).trimmed();
}

StatusHost statusNotifierHost(const QDBusConnection& bus)
{
    StatusHost host;
    if (bus.isConnected() && bus.interface()) {
        const auto pid = bus.interface()->servicePid(QStringLiteral("org.kde.StatusNotifierWatcher"));
        if (pid.isValid())
            host.process = processName(pid.value());
    }
    host.look = lookForHost(host.process, qEnvironmentVariable("XDG_CURRENT_DESKTOP"));
    return host;
}

} // namespace kalvix
