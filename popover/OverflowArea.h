#pragma once
// The part of a popover layout that scrolls when the screen has less room than the layout's natural
// height. Wherever there is room it is as tall as its content, with no frame and nothing painted of its
// own, so a layout holding it looks and measures exactly as one holding the content itself. Given less,
// it shrinks (to nothing at worst) and scrolls: by wheel and touchpad, and to any control inside that
// takes the keyboard focus.
//
// The content keeps its width while the scroll bar shows: the bar sits in the right margin of the
// content's layout, which gives up as much of itself as the bar needs.
#include <QScrollArea>

namespace kalvix {

class OverflowArea final : public QScrollArea {
    Q_OBJECT
public:
    // Takes `content`, which must have a layout.
    explicit OverflowArea(QWidget* content, QWidget* parent = nullptr);

    // The content's whole height when the area is `width` wide.
    int naturalHeight(int width) const;
    // Whether the content is taller than the area, so that it scrolls.
    bool overflows() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void lendMarginToBar();
    void fitContentWidth();
    int barShare() const;

    int m_rightMargin = 0;
};

} // namespace kalvix
