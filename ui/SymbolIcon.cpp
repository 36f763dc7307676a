#include "ui/SymbolIcon.h"

#include "ui/Symbols.h"

#include <QAbstractButton>
#include <QEvent>
#include <QIcon>
#include <QPixmap>

namespace kalvix::ui {
namespace {

constexpr qreal kScales[] = {1.0, 1.25, 1.5, 2.0, 3.0};

QIcon iconFor(const QAbstractButton& button, const QString& symbol)
{
    const qreal side = symbolSize(button.font());
    QIcon icon;
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Disabled}) {
        const QColor color = button.palette().color(group, QPalette::ButtonText);
        const QIcon::Mode mode = group == QPalette::Disabled ? QIcon::Disabled : QIcon::Normal;
        for (const qreal scale : kScales) {
            QImage image = symbolImage(symbol, side, color, scale);
            image.setDevicePixelRatio(1); // the icon picks by pixel size
            icon.addPixmap(QPixmap::fromImage(image), mode);
        }
    }
    return icon;
}

class SymbolIconKeeper final : public QObject {
public:
    SymbolIconKeeper(QAbstractButton* button, QString symbol)
        : QObject(button)
        , m_button(button)
        , m_symbol(std::move(symbol))
    {
        button->installEventFilter(this);
        refresh();
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_button && (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange))
            refresh();
        return false;
    }

private:
    void refresh()
    {
        const int side = static_cast<int>(symbolSize(m_button->font()));
        m_button->setIconSize(QSize(side, side));
        m_button->setIcon(iconFor(*m_button, m_symbol));
    }

    QAbstractButton* m_button;
    QString m_symbol;
};

} // namespace

void setSymbolIcon(QAbstractButton* button, const QString& symbol)
{
    new SymbolIconKeeper(button, symbol);
}

} // namespace kalvix::ui
