#pragma once
// The popover: a frameless popup made once and reused, shown against the edge of the panel that holds
// the status item (PopoverPlacement) and kept inside the part of the screen panels leave free. A click
// outside or Escape closes it, with a short fade where the platform can fade windows.
//
// A click outside closes it when the button is released, not when it is pressed: the popup keeps the
// pointer until then, so the press and the release both stay with Kalvix, and a press on the status
// item that closes the popover never reaches the item to open it again, however long it is held.
//
// It never covers the panel that holds the item, nor runs off the screen: each showing tells the content
// the room it has there (roomChanged), and a content that takes the hint stays within it.
//
// On Wayland without X11 a client cannot place its windows: the popover is then a small window of its
// own, closed when it loses focus, placed next to the pointer where the compositor lets Kalvix ask.
#include <QPoint>
#include <QRect>
#include <QWidget>

#include <chrono>

class QPropertyAnimation;

namespace kalvix {

class PopoverWindow final : public QWidget {
    Q_OBJECT
public:
    explicit PopoverWindow(QWidget* parent = nullptr);

    // Replaces the content; the window takes the content's size.
    void setContent(QWidget* content);
    QWidget* content() const { return m_content; }

    bool isShown() const { return isVisible(); }
    // Shows against the panel edge at `item` (global logical pixels); with a null item, against the
    // panel edge nearest the pointer.
    void showAt(QRect item);
    // The same on a screen of this geometry and free area (global logical pixels), whatever screen
    // the platform reports there.
    void showAt(QRect item, QRect screen, QRect available);
    // Where the popover may be at its last showing (PopoverPlacement's popoverRoom).
    QRect room() const { return m_room; }
    void closePopover();

    // True for a short while after a click elsewhere closed the popover's own window (Wayland alone):
    // that click may have been on the status item, whose host reports it too, and must not reopen it.
    bool justClosedByOutsideClick() const;

Q_SIGNALS:
    void shown();
    void hidden();
    // Told before the window takes its size at each showing: the content must fit in `room`.
    void roomChanged(QSize room);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Where the window goes for its size, against the anchor it was last shown at.
    void placeAtAnchor();
    void closeAfterOutsideClick();
    // Wayland alone: asks the compositor, where it takes requests, to put the window at the item.
    void placeOnCompositor(int triesLeft);
    // X11 under sway: the X server does not see the pointer over the bar, sway does. A tiny window of
    // Kalvix's is centred on the pointer by sway, and where it lands tells where the click was.
    bool askSwayForPointer();
    void findPointerOnSway(int triesLeft);

    QWidget* m_content = nullptr;
    QPropertyAnimation* m_fade = nullptr;
    std::chrono::steady_clock::time_point m_lastOutsideClose{};
    bool m_pressedOutside = false;
    bool m_closing = false;
    bool m_ownWindow = false; // Wayland alone: a window of its own instead of a popup
    QRect m_compositorAnchor;
    QWidget* m_pointerProbe = nullptr;
    QRect m_anchor; // the item (or menu anchor) the popover was last shown at, global logical pixels
    QRect m_screenRect;
    QRect m_available;
    QRect m_room;
};

} // namespace kalvix
