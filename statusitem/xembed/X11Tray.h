#pragma once
// The X11 system tray of the default screen: the owner of the _NET_SYSTEM_TRAY_Sn selection, followed
// through the MANAGER messages a new tray sends to the root window and the owner window's destruction.
// It also reads what the tray says about itself: the visual it wants icons in (32 bits deep for trays
// that draw icons with transparency), its text colour, and the process behind it.
#include "statusitem/xembed/TrayMonitor.h"

#include <QAbstractNativeEventFilter>
#include <QColor>
#include <QString>

#include <memory>
#include <optional>

struct xcb_connection_t;

namespace kalvix {

class X11Tray final : public TrayMonitor, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    // The tray watcher for the application's X11 connection; null when the application is not on X11.
    static std::unique_ptr<X11Tray> forApplication(QObject* parent = nullptr);

    X11Tray(xcb_connection_t* connection, int screen, QObject* parent = nullptr);
    ~X11Tray() override;

    bool present() const override { return m_owner != 0; }
    quint32 owner() const { return m_owner; }
    quint32 root() const { return m_root; }
    xcb_connection_t* connection() const { return m_connection; }

    // The tray's _NET_SYSTEM_TRAY_VISUAL when it is 32 bits deep, else 0.
    quint32 argbVisual() const;
    // The tray's normal text colour (_NET_SYSTEM_TRAY_COLORS), when it says.
    std::optional<QColor> foreground() const;
    // The process that owns the tray window, by its name; empty when it does not say.
    QString ownerProcess() const;

    // An atom by name, interned once per process.
    quint32 atom(const char* name) const;

protected:
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    void findOwner();
    QByteArray property(quint32 window, quint32 property, quint32 type, quint32 words) const;

    xcb_connection_t* m_connection;
    quint32 m_root = 0;
    quint32 m_selection = 0;
    quint32 m_manager = 0;
    quint32 m_owner = 0;
};

} // namespace kalvix
