#pragma once
// A vertical hairline between side-by-side columns: 1 unit wide, as tall as its parent gives, in the
// separator colour of the palette in use (see HDivider).
#include <QWidget>

namespace kalvix {

class VDivider final : public QWidget {
    Q_OBJECT
public:
    explicit VDivider(QWidget* parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace kalvix
