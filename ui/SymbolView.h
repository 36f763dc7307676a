#pragma once
// A symbol on its own, not a button: drawn at the size its font gives (see symbolSize), in an ink resolved
// at paint time, centred in whatever frame the layout gives it. For icons beside text ("calendar" in an
// event row, the bulb of a tip). Screen readers skip it unless it is given an accessible name.
#include "ui/ColorRoles.h"

#include <QFont>
#include <QWidget>

namespace kalvix::ui {

class SymbolView final : public QWidget {
    Q_OBJECT
public:
    SymbolView(const QString& symbol, const QFont& font, Ink ink, QWidget* parent = nullptr);

    void setInk(Ink ink);
    void setMulticolor(bool multicolor);
    const QString& symbol() const { return m_symbol; }
    qreal side() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_symbol;
    QFont m_font;
    Ink m_ink;
    bool m_multicolor = false;
};

} // namespace kalvix::ui
