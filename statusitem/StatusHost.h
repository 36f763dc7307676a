#pragma once
// Which program shows Kalvix's item, and so what to draw into it. Hosts differ: some draw the item's
// label text themselves, some scale every icon into a square, some keep a wide icon's aspect ratio.
// The host is the process that owns the StatusNotifierWatcher name on the session bus (or the X11
// tray's selection); the desktop named in XDG_CURRENT_DESKTOP is the hint when the process is unknown.
#include <QString>

class QDBusConnection;

namespace kalvix {

enum class ItemLook {
    label,      // the host draws the label: the icon beside it is a small symbol
    squareIcon, // icons are squeezed into squares: a square face (hours over minutes)
    wideText,   // the icon's aspect is kept: the whole title as a wide picture
};

struct StatusHost {
    QString process; // the host's process name, empty when it cannot be learnt
    ItemLook look = ItemLook::wideText;
    friend bool operator==(const StatusHost&, const StatusHost&) = default;
};

// The look for a host process (as /proc/PID/comm names it) in a desktop (XDG_CURRENT_DESKTOP, a
// colon-separated list). Unknown hosts on unknown desktops get the wide text, which every host shows
// in some form.
ItemLook lookForHost(const QString& process, const QString& currentDesktop);

// The name of a process (/proc/PID/comm), empty when it is gone or unreadable.
QString processName(quint32 pid);

// The host behind the StatusNotifierWatcher on `bus`, with its look for this session's desktop.
StatusHost statusNotifierHost(const QDBusConnection& bus);

} // namespace kalvix
