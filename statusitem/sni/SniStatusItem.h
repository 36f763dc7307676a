#pragma once
// The status item as a StatusNotifierItem on the session bus, with a com.canonical.dbusmenu menu.
//
// The title goes everywhere a host may look: the XAyatanaLabel property (hosts that draw labels), the
// tooltip, and the icon pixmaps, drawn for the host that shows them (StatusHost): a small symbol beside
// a label, a square face for hosts that square icons, the whole title where the aspect is kept.
// The item registers with org.kde.StatusNotifierWatcher, and again whenever a watcher (re)appears;
// each registration learns the host anew. Hosts are told of a new icon only when its picture changes,
// which it also does when the host's look changes while Kalvix runs (PanelInkWatcher).
#include "statusitem/StatusHost.h"
#include "statusitem/StatusItem.h"
#include "statusitem/TitleImage.h"
#include "statusitem/sni/DBusTypes.h"

#include <QColor>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QPointer>

class QDBusServiceWatcher;

namespace kalvix {

class PanelInkWatcher;
class SniItemAdaptor;
class SniMenuAdaptor;

class SniStatusItem final : public StatusItem {
    Q_OBJECT
public:
    explicit SniStatusItem(QDBusConnection bus, QObject* parent = nullptr);
    ~SniStatusItem() override;

    // Whether a StatusNotifierWatcher is on the bus now.
    static bool watcherPresent(const QDBusConnection& bus);

    bool isAvailable() const override { return m_registered; }
    QString kind() const override { return QStringLiteral("StatusNotifierItem"); }
    void setTitle(const QString& title, const QFont& font, qreal baselineOffset) override;

    // What the bus sees; read by the adaptors.
    const QString& label() const { return m_title; }
    QString labelGuide() const;
    const dbus::IconPixmapList& icons() const;
    dbus::ToolTip toolTip() const;
    const kalvix::StatusHost& host() const { return m_host; }
    const ItemInk& ink() const { return m_ink; }
    // What keeps the ink in step with the host's look.
    PanelInkWatcher& inkWatcher() const { return *m_inkWatcher; }

    // Calls from the bus.
    void activate(int x, int y);
    void showContextMenu(int x, int y);
    // The largest the item can be in a host: its largest picture. A point a host reports within it is
    // taken as a place inside the item.
    QSize largestIcon() const;
    void menuItemClicked(int id);

    enum MenuId { rootId = 0, showId = 1, separatorId = 2, settingsId = 3, quitId = 4 };
    static dbus::MenuLayoutItem menuLayout();

Q_SIGNALS:
    // The watcher accepted the item (again); `host()` is the host learnt then.
    void registered();

private:
    void registerWithWatcher();
    void learnHost();
    // What the icon shows, in a form that changes exactly when the picture does.
    QString iconContent() const;
    void refreshIcon();
    void inkChanged(const ItemInk& ink);

    QDBusConnection m_bus;
    QString m_serviceName;
    QString m_title;
    QFont m_font;
    kalvix::StatusHost m_host;
    ItemInk m_ink;
    QString m_iconContent;
    mutable dbus::IconPixmapList m_icons;
    bool m_registered = false;
    QObject* m_itemObject = nullptr;
    QObject* m_menuObject = nullptr;
    SniItemAdaptor* m_itemAdaptor = nullptr;
    SniMenuAdaptor* m_menuAdaptor = nullptr;
    QDBusServiceWatcher* m_watcher = nullptr;
    PanelInkWatcher* m_inkWatcher = nullptr;
};

// org.kde.StatusNotifierItem on /StatusNotifierItem.
class SniItemAdaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(int WindowId READ windowId)
    Q_PROPERTY(QString IconName READ iconName)
    Q_PROPERTY(kalvix::dbus::IconPixmapList IconPixmap READ iconPixmap)
    Q_PROPERTY(QString OverlayIconName READ emptyString)
    Q_PROPERTY(kalvix::dbus::IconPixmapList OverlayIconPixmap READ emptyIcons)
    Q_PROPERTY(QString AttentionIconName READ emptyString)
    Q_PROPERTY(kalvix::dbus::IconPixmapList AttentionIconPixmap READ emptyIcons)
    Q_PROPERTY(QString AttentionMovieName READ emptyString)
    Q_PROPERTY(kalvix::dbus::ToolTip ToolTip READ toolTip)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)
    Q_PROPERTY(QDBusObjectPath Menu READ menu)
    Q_PROPERTY(QString IconThemePath READ emptyString)
    Q_PROPERTY(QString XAyatanaLabel READ label)
    Q_PROPERTY(QString XAyatanaLabelGuide READ labelGuide)
    Q_PROPERTY(uint XAyatanaOrderingIndex READ orderingIndex)
public:
    SniItemAdaptor(QObject* object, SniStatusItem* item);

    QString category() const { return QStringLiteral("ApplicationStatus"); }
    QString id() const { return QStringLiteral("kalvix"); }
    QString title() const { return QStringLiteral("Kalvix"); }
    QString status() const { return QStringLiteral("Active"); }
    int windowId() const { return 0; }
    QString iconName() const { return {}; }
    dbus::IconPixmapList iconPixmap() const { return m_item->icons(); }
    QString emptyString() const { return {}; }
    dbus::IconPixmapList emptyIcons() const { return {}; }
    dbus::ToolTip toolTip() const { return m_item->toolTip(); }
    bool itemIsMenu() const { return false; }
    QDBusObjectPath menu() const { return QDBusObjectPath(QStringLiteral("/MenuBar")); }
    QString label() const { return m_item->label(); }
    QString labelGuide() const { return m_item->labelGuide(); }
    uint orderingIndex() const { return 0; }

public Q_SLOTS: // named as on the bus
    void Activate(int x, int y) { m_item->activate(x, y); }
    void SecondaryActivate(int x, int y) { m_item->activate(x, y); }
    void ContextMenu(int x, int y) { m_item->showContextMenu(x, y); }
    void Scroll(int, const QString&) {}
    void ProvideXdgActivationToken(const QString&) {}

Q_SIGNALS:
    void NewTitle();
    void NewIcon();
    void NewToolTip();
    void NewStatus(const QString& status);
    void XAyatanaNewLabel(const QString& label, const QString& guide);

private:
    SniStatusItem* m_item;
};

// com.canonical.dbusmenu on /MenuBar: "Show Calendar", "Settings…", "Quit Kalvix".
class SniMenuAdaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ version)
    Q_PROPERTY(QString TextDirection READ textDirection)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QStringList IconThemePath READ iconThemePath)
public:
    SniMenuAdaptor(QObject* object, SniStatusItem* item);

    uint version() const { return 3; }
    QString textDirection() const { return QStringLiteral("ltr"); }
    QString status() const { return QStringLiteral("normal"); }
    QStringList iconThemePath() const { return {}; }

public Q_SLOTS: // named as on the bus
    uint
    GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames, kalvix::dbus::MenuLayoutItem& layout);
    kalvix::dbus::MenuItemPropertiesList GetGroupProperties(const QList<int>& ids, const QStringList& propertyNames);
    QDBusVariant GetProperty(int id, const QString& name);
    void Event(int id, const QString& eventId, const QDBusVariant& data, uint timestamp);
    QList<int> EventGroup(const kalvix::dbus::MenuEventList& events);
    bool AboutToShow(int id);
    QList<int> AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors);

Q_SIGNALS:
    void ItemsPropertiesUpdated(const kalvix::dbus::MenuItemPropertiesList& updated,
                                const kalvix::dbus::MenuItemKeysList& removed);
    void LayoutUpdated(uint revision, int parent);
    void ItemActivationRequested(int id, uint timestamp);

private:
    SniStatusItem* m_item;
};

} // namespace kalvix
