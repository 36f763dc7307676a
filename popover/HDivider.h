#pragma once
// A horizontal hairline between stacked rows: 1 unit high, as wide as its parent gives, in the separator
// colour of the palette in use. Drawn without antialiasing, so it covers whole device pixels and stays
// sharp at fractional scales.
#include <QWidget>

namespace kalvix {

class HDivider final : public QWidget {
    Q_OBJECT
public:
    explicit HDivider(QWidget* parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace kalvix
