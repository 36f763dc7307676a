#pragma once
// The popover's content: the Standard layout (640 wide) or the Compact layout (300 wide), as the
// compactMode preference says, as tall as the layout's content. Its size is the popover's: the window
// holding it follows each change.
//
// A change of compactMode while the popover is shown switches layout with the design's spring: the width
// moves between 640 and 300 while the old layout fades out and the new one in, both top-aligned and
// centred, in one animation. The new layout is made afresh (the old one is discarded with its month and
// selection), so after a switch the current month shows. A change while the popover is closed takes
// effect at once, without animation. Made once and kept for every showing.
//
// The screen may have less room than a layout's natural height (a laptop screen under a panel, a busy
// week in the Compact agenda): with a height limit set, the root is never taller than the limit, and the
// layout's part below its fixed top scrolls. Under the limit nothing changes.
#include <QWidget>

class QVariantAnimation;

namespace kalvix {

struct AppContext;

namespace ui {
template <typename T> class Binding;
}

class PopoverRoot final : public QWidget {
    Q_OBJECT
public:
    static constexpr int kStandardWidth = 640;
    static constexpr int kCompactWidth = 300;

    // `context` must outlive the view.
    explicit PopoverRoot(AppContext& context, QWidget* parent = nullptr);

    // Whether the layout shown (or coming in) is the Compact one.
    bool isCompact() const { return m_compact; }
    // The layout shown, or coming in during a switch; the one going out (null when no switch runs).
    QWidget* currentLayout() const { return m_current; }
    QWidget* leavingLayout() const { return m_leaving; }
    // The switch's animation, for tests to step through it.
    QVariantAnimation* switchAnimation() const { return m_animation; }

    QSize sizeHint() const override;

    // The most height the screen has for the popover where it opens; 0 or less: no limit.
    void setHeightLimit(int limit);
    int heightLimit() const { return m_heightLimit; }

    // `layout`'s height when laid out at `width`.
    static int naturalHeight(QWidget* layout, int width);

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QWidget* makeLayout(bool compact);
    void switchLayout();
    void step(qreal progress);
    void finishSwitch();
    void place(QWidget* layout, int width, int rootWidth);
    // The height a layout is given at `width`: its natural height, within the limit.
    int fittedHeight(QWidget* layout, int width) const;
    void resizeToContent();

    AppContext& m_context;
    ui::Binding<bool>* m_compactMode;
    QVariantAnimation* m_animation;
    bool m_compact = false;
    QWidget* m_current = nullptr;
    QWidget* m_leaving = nullptr;
    QSize m_from;
    QSize m_size;
    int m_heightLimit = 0;
};

} // namespace kalvix
