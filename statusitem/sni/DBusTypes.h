#pragma once
// Wire types of the StatusNotifierItem and com.canonical.dbusmenu interfaces.
#include <QByteArray>
#include <QDBusArgument>
#include <QDBusVariant>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace kalvix::dbus {

// One icon image: ARGB32 pixels in network byte order, as StatusNotifierItem hosts expect.
struct IconPixmap {
    int width = 0;
    int height = 0;
    QByteArray bytes;
};
using IconPixmapList = QList<IconPixmap>;

struct ToolTip {
    QString iconName;
    IconPixmapList iconPixmap;
    QString title;
    QString description;
};

// A menu node with its children; on the wire each child is wrapped in a variant, which makes the
// type recursive.
struct MenuLayoutItem {
    int id = 0;
    QVariantMap properties;
    QList<MenuLayoutItem> children;
};

struct MenuItemProperties {
    int id = 0;
    QVariantMap properties;
};
using MenuItemPropertiesList = QList<MenuItemProperties>;

struct MenuItemKeys {
    int id = 0;
    QStringList properties;
};
using MenuItemKeysList = QList<MenuItemKeys>;

struct MenuEvent {
    int id = 0;
    QString eventId;
    QDBusVariant data;
    uint timestamp = 0;
};
using MenuEventList = QList<MenuEvent>;

// Registers the types with Qt's D-Bus marshalling; safe to call more than once.
void registerTypes();

QDBusArgument& operator<<(QDBusArgument& arg, const IconPixmap& v);
const QDBusArgument& operator>>(const QDBusArgument& arg, IconPixmap& v);
QDBusArgument& operator<<(QDBusArgument& arg, const ToolTip& v);
const QDBusArgument& operator>>(const QDBusArgument& arg, ToolTip& v);
QDBusArgument& operator<<(QDBusArgument& arg, const MenuLayoutItem& v);
const QDBusArgument& operator>>(const QDBusArgument& arg, MenuLayoutItem& v);
QDBusArgument& operator<<(QDBusArgument& arg, const MenuItemProperties& v);
const QDBusArgument& operator>>(const QDBusArgument& arg, MenuItemProperties& v);
QDBusArgument& operator<<(QDBusArgument& arg, const MenuItemKeys& v);
const QDBusArgument& operator>>(const QDBusArgument& arg, MenuItemKeys& v);
QDBusArgument& operator<<(QDBusArgument& arg, const MenuEvent& v);
const QDBusArgument& operator>>(const QDBusArgument& arg, MenuEvent& v);

} // namespace kalvix::dbus

Q_DECLARE_METATYPE(kalvix::dbus::IconPixmap)
Q_DECLARE_METATYPE(kalvix::dbus::ToolTip)
Q_DECLARE_METATYPE(kalvix::dbus::MenuLayoutItem)
Q_DECLARE_METATYPE(kalvix::dbus::MenuItemProperties)
Q_DECLARE_METATYPE(kalvix::dbus::MenuItemKeys)
Q_DECLARE_METATYPE(kalvix::dbus::MenuEvent)
