#pragma once
// A text of the views: a font, a colour by role, an alignment, and one of three ways to fit its width:
// one line cut at the end with an ellipsis, wrapped onto lines, or (for clocks) one line with every digit
// in a cell of the same width, so the text does not move as the digits change.
//
// It is a QLabel, so screen readers read it as static text; only the painting is its own, with the colour
// resolved from the palette at paint time.
#include "ui/ColorRoles.h"

#include <QLabel>

namespace kalvix::ui {

class TextLabel final : public QLabel {
    Q_OBJECT
public:
    enum class Fit { elide, wrap, tabularDigits };

    TextLabel(const QString& text, const QFont& font, Ink ink, QWidget* parent = nullptr);

    void setInk(Ink ink);
    Ink ink() const { return m_ink; }
    void setFit(Fit fit);
    Fit fit() const { return m_fit; }

    // Whether the text is cut short at the current width.
    bool isElided() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Ink m_ink;
    Fit m_fit = Fit::elide;
};

} // namespace kalvix::ui
