#pragma once
// The one item Kalvix puts in the desktop's status area: a text label (the live clock) that opens the
// popover when clicked, and a small menu for hosts that open menus instead of activating.
//
// Hosts differ in what they draw (label text, icon pixmap only) and in what a click does (Activate,
// or the menu), so an implementation publishes the title in every form a host may use.
#include <QFont>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QString>

#include <memory>

class QMenu;

namespace kalvix {

class StatusItem : public QObject {
    Q_OBJECT
public:
    ~StatusItem() override;

    // The item's menu entries, the same in every host.
    static QString showCalendarText() { return QStringLiteral("Show Calendar"); }
    static QString settingsText() { return QStringLiteral("Settings\u2026"); }
    static QString quitText() { return QStringLiteral("Quit Kalvix"); }

    // Whether the item is shown somewhere: a title set while it is not still becomes visible later.
    virtual bool isAvailable() const = 0;
    // A short name of the host protocol in use ("StatusNotifierItem", "XEmbed"), for diagnostics.
    virtual QString kind() const = 0;
    // The clock text, drawn in `font` wherever the host lets Kalvix draw it.
    virtual void setTitle(const QString& title, const QFont& font, qreal baselineOffset) = 0;

    // The anchor for a point a host reports (global, logical pixels): a one-pixel rectangle there, or
    // null when the point lies on no screen, as (0, 0) from hosts that know no position does, and as
    // out-of-range values do. Null too for a point within `itemSize` of the origin: some hosts (waybar)
    // report the click's place inside the item, not on the screen, and a screen point there would be an
    // item in the screen's very corner, which the pointer's place (the fallback) finds as well.
    static QRect anchorAt(int x, int y, QSize itemSize = QSize());

Q_SIGNALS:
    // A click on the item, or "Show Calendar" from its menu. `anchor` is the item's rectangle on the
    // screen (global, logical pixels), or a point in it; null when the host gave none.
    void activated(QRect anchor);
    void settingsRequested();
    void quitRequested();

protected:
    using QObject::QObject;

    // Shows the item's menu as a popup at a global point (the pointer when null), for hosts that leave
    // the menu to the item.
    void popupMenu(QPoint at);

private:
    QPointer<QMenu> m_menu;
};

} // namespace kalvix
