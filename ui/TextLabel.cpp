#include "ui/TextLabel.h"

#include "statusitem/TitleImage.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>

#include <cmath>

namespace kalvix::ui {

TextLabel::TextLabel(const QString& text, const QFont& font, Ink ink, QWidget* parent)
    : QLabel(text, parent)
    , m_ink(ink)
{
    setFont(font);
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void TextLabel::setInk(Ink ink)
{
    m_ink = ink;
    update();
}

void TextLabel::setFit(Fit fit)
{
    m_fit = fit;
    setWordWrap(fit == Fit::wrap);
    if (fit == Fit::wrap) {
        QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
        policy.setHeightForWidth(true);
        setSizePolicy(policy);
    }
    updateGeometry();
    update();
}

bool TextLabel::isElided() const
{
    return m_fit == Fit::elide && QFontMetricsF(font()).horizontalAdvance(text()) > contentsRect().width() + 0.5;
}

QSize TextLabel::sizeHint() const
{
    const QFontMetricsF fm(font());
    qreal width = fm.horizontalAdvance(text());
    if (m_fit == Fit::tabularDigits)
        width = tabularTextWidth(text(), font());
    if (m_fit == Fit::wrap)
        return QLabel::sizeHint();
    const QMargins margins = contentsMargins();
    return QSize(static_cast<int>(std::ceil(width)) + margins.left() + margins.right(),
                 static_cast<int>(std::ceil(fm.height())) + margins.top() + margins.bottom());
}

QSize TextLabel::minimumSizeHint() const
{
    if (m_fit == Fit::elide) { // may be cut down to its ellipsis
        const QMargins margins = contentsMargins();
        const qreal ellipsis = QFontMetricsF(font()).horizontalAdvance(QStringLiteral("\u2026"));
        return QSize(static_cast<int>(std::ceil(ellipsis)) + margins.left() + margins.right(), sizeHint().height());
    }
    if (m_fit == Fit::wrap)
        return QLabel::minimumSizeHint();
    return sizeHint();
}

int TextLabel::heightForWidth(int width) const
{
    return m_fit == Fit::wrap ? QLabel::heightForWidth(width) : -1;
}

void TextLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setPen(m_ink.resolve(palette()));
    painter.setFont(font());
    const QRectF area = contentsRect();
    const QFontMetricsF fm(font());
    switch (m_fit) {
    case Fit::elide: {
        // Cut at the text's own end, which for an Arabic or Hebrew title is at its left whatever the
        // layout's direction; the label's place on the row still follows the layout.
        const auto placed = QStyle::visualAlignment(layoutDirection(), alignment()) | Qt::AlignAbsolute;
        painter.setLayoutDirection(text().isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight);
        painter.drawText(
            area, static_cast<int>(placed) | Qt::TextSingleLine, fm.elidedText(text(), Qt::ElideRight, area.width()));
        break;
    }
    case Fit::wrap:
        painter.drawText(area, static_cast<int>(alignment()) | Qt::TextWordWrap, text());
        break;
    case Fit::tabularDigits: {
        const qreal width = tabularTextWidth(text(), font());
        qreal x = area.left();
        if (alignment() & Qt::AlignHCenter)
            x = area.center().x() - width / 2;
        else if (alignment() & Qt::AlignRight)
            x = area.right() - width;
        const qreal baseline = area.top() + (area.height() - fm.height()) / 2 + fm.ascent();
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillPath(tabularTextPath(x, baseline, text(), font()), m_ink.resolve(palette()));
        break;
    }
    }
}

} // namespace kalvix::ui
