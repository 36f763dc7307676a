#pragma once
// A classic system tray (the XEmbed tray of an X11 screen), watched while Kalvix runs: whether one is
// there now, and a signal each time that changes, including a tray that restarts and so needs its
// icons docked again.
#include <QObject>

namespace kalvix {

class TrayMonitor : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual bool present() const = 0;

Q_SIGNALS:
    // A tray appeared, a new one took over, or the tray went away.
    void changed();
};

} // namespace kalvix
