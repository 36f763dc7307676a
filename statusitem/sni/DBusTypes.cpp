#include "statusitem/sni/DBusTypes.h"

#include <QDBusMetaType>

namespace kalvix::dbus {

void registerTypes()
{
    static const bool once = [] {
        qDBusRegisterMetaType<IconPixmap>();
        qDBusRegisterMetaType<IconPixmapList>();
        qDBusRegisterMetaType<ToolTip>();
        qDBusRegisterMetaType<MenuLayoutItem>();
        qDBusRegisterMetaType<MenuItemProperties>();
        qDBusRegisterMetaType<MenuItemPropertiesList>();
        qDBusRegisterMetaType<MenuItemKeys>();
        qDBusRegisterMetaType<MenuItemKeysList>();
        qDBusRegisterMetaType<MenuEvent>();
        qDBusRegisterMetaType<MenuEventList>();
        // Method signatures name the list types by their aliases; teach the meta-type system those names.
        qRegisterMetaType<IconPixmapList>("kalvix::dbus::IconPixmapList");
        qRegisterMetaType<MenuItemPropertiesList>("kalvix::dbus::MenuItemPropertiesList");
        qRegisterMetaType<MenuItemKeysList>("kalvix::dbus::MenuItemKeysList");
        qRegisterMetaType<MenuEventList>("kalvix::dbus::MenuEventList");
        return true;
    }();
    Q_UNUSED(once);
}

QDBusArgument& operator<<(QDBusArgument& arg, const IconPixmap& v)
{
    arg.beginStructure();
    arg << v.width << v.height << v.bytes;
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, IconPixmap& v)
{
    arg.beginStructure();
    arg >> v.width >> v.height >> v.bytes;
    arg.endStructure();
    return arg;
}

QDBusArgument& operator<<(QDBusArgument& arg, const ToolTip& v)
{
    arg.beginStructure();
    arg << v.iconName << v.iconPixmap << v.title << v.description;
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, ToolTip& v)
{
    arg.beginStructure();
    arg >> v.iconName >> v.iconPixmap >> v.title >> v.description;
    arg.endStructure();
    return arg;
}

QDBusArgument& operator<<(QDBusArgument& arg, const MenuLayoutItem& v)
{
    arg.beginStructure();
    arg << v.id << v.properties;
    arg.beginArray(QMetaType::fromType<QDBusVariant>());
    for (const MenuLayoutItem& child : v.children)
        arg << QDBusVariant(QVariant::fromValue(child));
    arg.endArray();
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, MenuLayoutItem& v)
{
    arg.beginStructure();
    arg >> v.id >> v.properties;
    v.children.clear();
    arg.beginArray();
    while (!arg.atEnd()) {
        QDBusVariant wrapped;
        arg >> wrapped;
        const QDBusArgument inner = wrapped.variant().value<QDBusArgument>();
        MenuLayoutItem child;
        inner >> child;
        v.children << child;
    }
    arg.endArray();
    arg.endStructure();
    return arg;
}

QDBusArgument& operator<<(QDBusArgument& arg, const MenuItemProperties& v)
{
    arg.beginStructure();
    arg << v.id << v.properties;
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, MenuItemProperties& v)
{
    arg.beginStructure();
    arg >> v.id >> v.properties;
    arg.endStructure();
    return arg;
}

QDBusArgument& operator<<(QDBusArgument& arg, const MenuItemKeys& v)
{
    arg.beginStructure();
    arg << v.id << v.properties;
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, MenuItemKeys& v)
{
    arg.beginStructure();
    arg >> v.id >> v.properties;
    arg.endStructure();
    return arg;
}

QDBusArgument& operator<<(QDBusArgument& arg, const MenuEvent& v)
{
    arg.beginStructure();
    arg << v.id << v.eventId << v.data << v.timestamp;
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, MenuEvent& v)
{
    arg.beginStructure();
    arg >> v.id >> v.eventId >> v.data >> v.timestamp;
    arg.endStructure();
    return arg;
}

} // namespace kalvix::dbus
