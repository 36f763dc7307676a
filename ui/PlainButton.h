#pragma once
// A button drawn as its label only, without bezel or background: a text, a symbol, or a text with a symbol
// at its far end ("View All Events  >"). The whole rectangle is the click target. It dims while pressed,
// shows a focus ring when reached with the keyboard, and is activated with Space or Enter. Its accessible
// name is its text, or the name given for a symbol-only button.
#include "ui/ColorRoles.h"

#include <QAbstractButton>

namespace kalvix::ui {

class PlainButton final : public QAbstractButton {
    Q_OBJECT
public:
    // A text button.
    PlainButton(const QString& text, const QFont& font, Ink ink, QWidget* parent = nullptr);
    // A symbol button; `accessibleName` says what it does ("Next month").
    PlainButton(const QString& symbol,
                const QFont& symbolFont,
                Ink ink,
                const QString& accessibleName,
                QWidget* parent = nullptr);

    // Adds a symbol after the text, pushed to the far end when the button is wider than its content.
    void setTrailingSymbol(const QString& symbol, const QFont& symbolFont);
    void setInk(Ink ink);
    // A symbol side other than the one its font gives.
    void setSymbolSize(qreal side);

    const QString& symbol() const { return m_symbol; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    qreal symbolSide() const;
    qreal trailingSide() const;

    Ink m_ink;
    QString m_symbol;
    QFont m_symbolFont;
    qreal m_symbolSide = 0;
    QString m_trailingSymbol;
    QFont m_trailingFont;
};

// The focus ring every focusable view of Kalvix draws: an accent outline just inside `rect`.
void paintFocusRing(class QPainter& painter, const QRectF& rect, const QPalette& palette, qreal radius = 4);

} // namespace kalvix::ui
