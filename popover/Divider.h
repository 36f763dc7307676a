#pragma once
// A hairline between sections: a horizontal one between stacked rows is 1 unit high and as wide as its
// parent gives, a vertical one between side-by-side columns 1 unit wide and as tall as its parent gives.
// In the separator colour of the palette in use, drawn without antialiasing, so it covers whole device
// pixels and stays sharp at fractional scales.
#include <QWidget>

namespace kalvix {

class Divider final : public QWidget {
    Q_OBJECT
public:
    // Qt::Horizontal: the line runs across, between rows; Qt::Vertical: it runs down, between columns.
    explicit Divider(Qt::Orientation orientation, QWidget* parent = nullptr);

    Qt::Orientation orientation() const { return m_orientation; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Qt::Orientation m_orientation;
};

} // namespace kalvix
