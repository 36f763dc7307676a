#pragma once
// The popover: a frameless popup made once and reused, shown below the status item's anchor point
// and kept inside the screen's available area. A click outside or Escape closes it, with a short fade.
#include <QPoint>
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
    // Shows below `anchor` (global coordinates; the pointer when null), or above it when the anchor is
    // in the lower half of its screen (a bottom panel).
    void showAt(QPoint anchor);
    void closePopover();

    // True for a short while after a click outside closed the popover: that click was most likely on
    // the status item itself, whose activation must then not reopen it.
    bool justClosedByOutsideClick() const;

    // Where the popover goes for an anchor on a screen area; pure, for tests.
    static QPoint placement(QPoint anchor, QSize size, QRect available);

Q_SIGNALS:
    void shown();
    void hidden();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QWidget* m_content = nullptr;
    QPropertyAnimation* m_fade = nullptr;
    std::chrono::steady_clock::time_point m_lastHide{};
    bool m_closingOnPurpose = false;
};

} // namespace kalvix
