#include "settings/FormGroup.h"

#include "settings/FormRow.h"
#include "ui/ColorRoles.h"
#include "ui/Shapes.h"

#include <QPainter>
#include <QVBoxLayout>

namespace kalvix::settings {
namespace {

constexpr qreal kEdgeWidth = 1;
constexpr qreal kHairline = 1;

} // namespace

FormGroup::FormGroup(QWidget* parent)
    : QWidget(parent)
    , m_layout(new QVBoxLayout(this))
{
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void FormGroup::insertRow(int index, QWidget* row)
{
    if (m_layout->indexOf(row) >= 0)
        m_layout->removeWidget(row);
    m_layout->insertWidget(index, row);
    // A layout shows a new child at the next turn of the event loop; shown now, it takes focus and Tab
    // order straight after the change that made it.
    row->show();
    update();
}

void FormGroup::addRow(QWidget* row)
{
    insertRow(m_layout->count(), row);
}

int FormGroup::rowCount() const
{
    return m_layout->count();
}

QWidget* FormGroup::rowAt(int index) const
{
    QLayoutItem* item = m_layout->itemAt(index);
    return item ? item->widget() : nullptr;
}

void FormGroup::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette& pal = palette();
    const QRectF plate = QRectF(rect());
    ui::fillRoundedRect(painter, plate, kRadius, ui::roleColor(ui::ColorRole::controlBackground, pal));
    ui::strokeRoundedRectInside(painter, plate, kRadius, ui::roleColor(ui::ColorRole::separator, pal), kEdgeWidth);

    // Between rows only, from the rows' padding to the plate's right edge.
    const QColor hairline = ui::roleColor(ui::ColorRole::separator, pal);
    const QWidget* previous = nullptr;
    for (int i = 0; i < m_layout->count(); ++i) {
        const QWidget* row = rowAt(i);
        if (!row || row->isHidden())
            continue;
        if (previous) {
            const qreal y = row->geometry().top();
            painter.fillRect(
                QRectF(FormRow::kPadding, y - kHairline / 2, width() - FormRow::kPadding - kEdgeWidth, kHairline),
                hairline);
        }
        previous = row;
    }
}

} // namespace kalvix::settings
