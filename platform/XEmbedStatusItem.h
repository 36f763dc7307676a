#pragma once
// The status item as a window docked into an X11 system tray (the XEmbed tray protocol), for
// sessions with a classic tray and no StatusNotifierWatcher. The window is as wide as the clock text,
// and the tray gives it a slot of that width.
#include "platform/StatusItem.h"

namespace kalvix {

class TrayTextWidget;

class XEmbedStatusItem final : public StatusItem {
    Q_OBJECT
public:
    explicit XEmbedStatusItem(QObject* parent = nullptr);
    ~XEmbedStatusItem() override;

    // Whether this X11 session has a tray manager to dock into.
    static bool trayPresent();

    bool isAvailable() const override { return m_docked; }
    QString kind() const override { return QStringLiteral("XEmbed"); }
    void setTitle(const QString& title, const QFont& font, qreal baselineOffset) override;

    void showContextMenu(const QPoint& at);

private:
    bool dock();
    void writeSizeHints();

    TrayTextWidget* m_widget = nullptr;
    bool m_docked = false;
};

} // namespace kalvix
