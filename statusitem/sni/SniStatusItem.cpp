#include "statusitem/sni/SniStatusItem.h"

#include "statusitem/PanelColors.h"
#include "statusitem/PanelInkWatcher.h"
#include "statusitem/TitleImage.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QtEndian>

#include <algorithm>
#include <iterator>

namespace kalvix {
namespace {

const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString kItemPath = QStringLiteral("/StatusNotifierItem");
const QString kMenuPath = QStringLiteral("/MenuBar");

// Hosts pick the pixmap nearest their slot; these cover common panel sizes at scale 1 and 2.
constexpr int kIconHeights[] = {16, 22, 24, 32, 48};
constexpr int kSquareSizes[] = {16, 22, 24, 32, 48, 64};

dbus::IconPixmap toWire(const QImage& image)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    dbus::IconPixmap pixmap;
    pixmap.width = argb.width();
    pixmap.height = argb.height();
    pixmap.bytes.resize(static_cast<qsizetype>(argb.width()) * argb.height() * 4);
    auto* out = reinterpret_cast<uchar*>(pixmap.bytes.data());
    for (int y = 0; y < argb.height(); ++y) {
        const auto* line = reinterpret_cast<const quint32*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            qToBigEndian(line[x], out);
            out += 4;
        }
    }
    return pixmap;
}

QVariantMap itemProperties(int id)
{
    switch (id) {
    case SniStatusItem::rootId:
        return {{QStringLiteral("children-display"), QStringLiteral("submenu")}};
    case SniStatusItem::showId:
        return {{QStringLiteral("label"), StatusItem::showCalendarText()}};
    case SniStatusItem::separatorId:
        return {{QStringLiteral("type"), QStringLiteral("separator")}};
    case SniStatusItem::settingsId:
        return {{QStringLiteral("label"), StatusItem::settingsText()}};
    case SniStatusItem::quitId:
        return {{QStringLiteral("label"), StatusItem::quitText()}};
    default:
        return {};
    }
}

QVariantMap filtered(const QVariantMap& all, const QStringList& names)
{
    if (names.isEmpty())
        return all;
    QVariantMap out;
    for (const QString& name : names)
        if (all.contains(name))
            out.insert(name, all.value(name));
    return out;
}

} // namespace

SniStatusItem::SniStatusItem(QDBusConnection bus, QObject* parent)
    : StatusItem(parent)
    , m_bus(std::move(bus))
    , m_serviceName(QStringLiteral("org.kde.StatusNotifierItem-%1-1").arg(QCoreApplication::applicationPid()))
    , m_itemObject(new QObject(this))
    , m_menuObject(new QObject(this))
    , m_inkWatcher(new PanelInkWatcher(this))
{
    dbus::registerTypes();
    m_itemAdaptor = new SniItemAdaptor(m_itemObject, this);
    m_menuAdaptor = new SniMenuAdaptor(m_menuObject, this);
    m_bus.registerObject(kItemPath, m_itemObject, QDBusConnection::ExportAdaptors);
    m_bus.registerObject(kMenuPath, m_menuObject, QDBusConnection::ExportAdaptors);
    m_bus.registerService(m_serviceName);

    m_watcher = new QDBusServiceWatcher(kWatcherService, m_bus, QDBusServiceWatcher::WatchForRegistration, this);
    connect(m_watcher, &QDBusServiceWatcher::serviceRegistered, this, &SniStatusItem::registerWithWatcher);
    connect(m_inkWatcher, &PanelInkWatcher::inkChanged, this, &SniStatusItem::inkChanged);
    learnHost();
    registerWithWatcher();
}

SniStatusItem::~SniStatusItem()
{
    m_bus.unregisterObject(kItemPath);
    m_bus.unregisterObject(kMenuPath);
    m_bus.unregisterService(m_serviceName);
}

bool SniStatusItem::watcherPresent(const QDBusConnection& bus)
{
    return bus.isConnected() && bus.interface() && bus.interface()->isServiceRegistered(kWatcherService).value();
}

void SniStatusItem::registerWithWatcher()
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        kWatcherService, kWatcherPath, kWatcherService, QStringLiteral("RegisterStatusNotifierItem"));
    call << m_serviceName;
    auto* pending = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        m_registered = !w->isError();
        w->deleteLater();
        if (!m_registered)
            return;
        learnHost(); // a new watcher may be another host
        Q_EMIT registered();
    });
}

void SniStatusItem::learnHost()
{
    const StatusHost host = statusNotifierHost(m_bus);
    const ItemInk ink = m_inkWatcher->learn(host, PanelFiles::fromEnvironment());
    const bool changed = host.look != m_host.look || ink != m_ink;
    m_host = host;
    m_ink = ink;
    if (changed) {
        m_iconContent.clear();
        refreshIcon();
    }
}

void SniStatusItem::inkChanged(const ItemInk& ink)
{
    m_ink = ink;
    m_iconContent.clear(); // the same face in another ink is another picture
    refreshIcon();
}

QString SniStatusItem::iconContent() const
{
    switch (m_host.look) {
    case ItemLook::label:
        return QStringLiteral("symbol");
    case ItemLook::squareIcon: {
        const SquareFace face = squareFaceOf(m_title);
        return face.top + u'\n' + face.bottom + u'\n' + QString::number(static_cast<int>(face.period));
    }
    case ItemLook::wideText:
        break;
    }
    return m_title;
}

void SniStatusItem::refreshIcon()
{
    const QString content = iconContent();
    if (content == m_iconContent)
        return;
    m_iconContent = content;
    m_icons.clear(); // drawn when a host asks for them, not for every title
    Q_EMIT m_itemAdaptor->NewIcon();
}

void SniStatusItem::setTitle(const QString& title, const QFont& font, qreal)
{
    m_title = title;
    m_font = font;
    Q_EMIT m_itemAdaptor->XAyatanaNewLabel(m_title, labelGuide());
    Q_EMIT m_itemAdaptor->NewToolTip();
    refreshIcon();
}

const dbus::IconPixmapList& SniStatusItem::icons() const
{
    if (!m_icons.isEmpty() || m_title.isEmpty())
        return m_icons;
    switch (m_host.look) {
    case ItemLook::label:
        for (int size : kSquareSizes)
            m_icons << toWire(renderSymbolImage(size, m_ink));
        break;
    case ItemLook::squareIcon:
        for (int size : kSquareSizes)
            m_icons << toWire(renderSquareImage(squareFaceOf(m_title), m_font, size, m_ink));
        break;
    case ItemLook::wideText:
        for (int height : kIconHeights)
            m_icons << toWire(renderTitleImage(m_title, m_font, height, m_ink));
        break;
    }
    return m_icons;
}

QString SniStatusItem::labelGuide() const
{
    // The widest text the label may take: every digit as a zero keeps the host's slot steady.
    QString guide = m_title;
    for (QChar& c : guide)
        if (c.isDigit())
            c = u'0';
    return guide;
}

dbus::ToolTip SniStatusItem::toolTip() const
{
    return dbus::ToolTip{QString(), {}, m_title, QStringLiteral("Click to show the calendar")};
}

QSize SniStatusItem::largestIcon() const
{
    if (m_host.look != ItemLook::wideText) {
        const int side = *std::max_element(std::begin(kSquareSizes), std::end(kSquareSizes));
        return QSize(side, side);
    }
    return titleImageSize(m_title, m_font, *std::max_element(std::begin(kIconHeights), std::end(kIconHeights)));
}

void SniStatusItem::activate(int x, int y)
{
    Q_EMIT activated(anchorAt(x, y, largestIcon()));
}

void SniStatusItem::showContextMenu(int x, int y)
{
    // Hosts that ignore the exported menu ask the item to show one itself.
    const QRect at = anchorAt(x, y, largestIcon());
    popupMenu(at.isNull() ? QPoint() : at.topLeft());
}

void SniStatusItem::menuItemClicked(int id)
{
    switch (id) {
    case showId:
        Q_EMIT activated(QRect());
        break;
    case settingsId:
        Q_EMIT settingsRequested();
        break;
    case quitId:
        Q_EMIT quitRequested();
        break;
    default:
        break;
    }
}

dbus::MenuLayoutItem SniStatusItem::menuLayout()
{
    dbus::MenuLayoutItem root{rootId, itemProperties(rootId), {}};
    for (int id : {showId, separatorId, settingsId, quitId})
        root.children << dbus::MenuLayoutItem{id, itemProperties(id), {}};
    return root;
}

SniItemAdaptor::SniItemAdaptor(QObject* object, SniStatusItem* item)
    : QDBusAbstractAdaptor(object)
    , m_item(item)
{
}

SniMenuAdaptor::SniMenuAdaptor(QObject* object, SniStatusItem* item)
    : QDBusAbstractAdaptor(object)
    , m_item(item)
{
}

uint SniMenuAdaptor::GetLayout(int parentId,
                               int recursionDepth,
                               const QStringList& propertyNames,
                               dbus::MenuLayoutItem& layout)
{
    dbus::MenuLayoutItem root = SniStatusItem::menuLayout();
    if (parentId != SniStatusItem::rootId) {
        layout = dbus::MenuLayoutItem{parentId, filtered(itemProperties(parentId), propertyNames), {}};
        return 1;
    }
    root.properties = filtered(root.properties, propertyNames);
    for (auto& child : root.children)
        child.properties = filtered(child.properties, propertyNames);
    if (recursionDepth == 0)
        root.children.clear();
    layout = root;
    return 1; // the menu never changes: one revision
}

dbus::MenuItemPropertiesList SniMenuAdaptor::GetGroupProperties(const QList<int>& ids, const QStringList& propertyNames)
{
    dbus::MenuItemPropertiesList out;
    const QList<int> all = {SniStatusItem::rootId,
                            SniStatusItem::showId,
                            SniStatusItem::separatorId,
                            SniStatusItem::settingsId,
                            SniStatusItem::quitId};
    for (int id : ids.isEmpty() ? all : ids)
        if (all.contains(id))
            out << dbus::MenuItemProperties{id, filtered(itemProperties(id), propertyNames)};
    return out;
}

QDBusVariant SniMenuAdaptor::GetProperty(int id, const QString& name)
{
    return QDBusVariant(itemProperties(id).value(name));
}

void SniMenuAdaptor::Event(int id, const QString& eventId, const QDBusVariant&, uint)
{
    if (eventId == u"clicked")
        m_item->menuItemClicked(id);
}

QList<int> SniMenuAdaptor::EventGroup(const dbus::MenuEventList& events)
{
    for (const auto& e : events)
        Event(e.id, e.eventId, e.data, e.timestamp);
    return {};
}

bool SniMenuAdaptor::AboutToShow(int)
{
    return false;
}

QList<int> SniMenuAdaptor::AboutToShowGroup(const QList<int>&, QList<int>& idErrors)
{
    idErrors.clear();
    return {};
}

} // namespace kalvix
