#pragma once
// The status item as a window docked into an X11 system tray (the XEmbed tray protocol), for sessions
// with a classic tray and no StatusNotifierWatcher.
//
// The window is Kalvix's own X window, not a toolkit window, so nothing but Kalvix writes its size
// hints: they are the text's size in device pixels, written before the dock request and again whenever
// the text's width changes, never taken back from the size the tray gave. It is drawn in the visual the
// tray asks for: with transparency where the tray composites its icons, else over the tray's own
// background (ParentRelative), never on a box of its own colour. A tray that gives a square slot gets
// the square face (hours over minutes) instead of the text.
#include "statusitem/StatusItem.h"
#include "statusitem/TitleImage.h"

#include <QAbstractNativeEventFilter>
#include <QColor>
#include <QImage>
#include <QSize>

#include <array>
#include <optional>

class QTimer;

namespace kalvix {

class PanelInkWatcher;
class X11Tray;

class XEmbedStatusItem final : public StatusItem, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    // Docks into `tray` (which must outlive the item) once the first title is set.
    explicit XEmbedStatusItem(X11Tray& tray, QObject* parent = nullptr);
    ~XEmbedStatusItem() override;

    bool isAvailable() const override { return m_docked; }
    QString kind() const override { return QStringLiteral("XEmbed"); }
    void setTitle(const QString& title, const QFont& font, qreal baselineOffset) override;

    quint32 window() const { return m_window; }

    // The size, in device pixels, of a text that takes `logical` pixels at a scale factor.
    static QSize deviceSize(QSizeF logical, qreal scale);
    // WM_NORMAL_HINTS for a window of `device` pixels: that size as base, minimum and maximum size.
    static std::array<quint32, 18> sizeHints(QSize device);

protected:
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    void createWindow();
    void destroyWindow();
    void writeSizeHints();
    void updateTextSize();
    void paint();
    QImage background(QSize size) const;
    void release(int button, int x, int y);
    void resized(QSize slot);
    void reparented(quint32 parent);
    QRect globalRect() const;
    QRect globalDeviceRect() const;
    std::optional<QColor> groundBeside() const;
    ItemInk inkOn(const QImage& background) const;

    X11Tray& m_tray;
    quint32 m_window = 0;
    quint32 m_colormap = 0;
    bool m_argb = false;
    quint8 m_depth = 24;
    bool m_docked = false;
    qreal m_scale = 1;
    QString m_title;
    QFont m_font;
    QFont m_deviceFont; // the title font in device pixels, lowered when the tray's slot is lower
    QSize m_text;       // the text's size in device pixels: what the hints say
    QSize m_slot;       // the size the tray gave the window
    int m_pressed = 0;  // the button pressed on the window, until it is released
    QTimer* m_toolTip = nullptr;
    PanelInkWatcher* m_inkWatcher = nullptr; // what the ink is learnt from where the tray's pixels do not tell
};

} // namespace kalvix
