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

    // The best available item for this session: a StatusNotifierItem when a watcher is on the session
    // bus, else an XEmbed tray dock on X11, else nothing (the title is then only on the command line).
    static std::unique_ptr<StatusItem> create(QObject* parent = nullptr);

Q_SIGNALS:
    // A click on the item, or "Show Calendar" from its menu; `anchor` is a global screen point below
    // which the popover belongs (null when the host gave none).
    void activated(QPoint anchor);
    void settingsRequested();
    void quitRequested();

protected:
    using QObject::QObject;

    // Shows the item's menu as a popup at a global point, for hosts that leave the menu to the item.
    void popupMenu(QPoint at);

private:
    QPointer<QMenu> m_menu;
};

} // namespace kalvix
