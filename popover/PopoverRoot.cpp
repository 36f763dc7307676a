#include "popover/PopoverRoot.h"

#include "clock/ClockModel.h"
#include "context/AppContext.h"
#include "platform/DateFormat.h"

#include <QLabel>
#include <QVBoxLayout>

namespace kalvix {

PopoverRoot::PopoverRoot(AppContext& context, QWidget* parent)
    : QWidget(parent)
    , m_time(new QLabel(this))
{
    ClockModel& clock = context.clock;
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    QFont big = m_time->font();
    big.setPointSizeF(big.pointSizeF() * 2);
    m_time->setFont(big);
    m_time->setWordWrap(true);
    layout->addWidget(m_time);
    auto* note = new QLabel(tr("The calendar, world clocks and countdowns will appear here."), this);
    note->setEnabled(false);
    note->setWordWrap(true);
    layout->addWidget(note);
    setFixedWidth(640);

    const auto show = [this](Instant now) {
        m_time->setText(platform::formatSkeleton(now, QStringLiteral("EEEEdMMMMyyyyjmmss")));
    };
    show(clock.now());
    // A closed popover costs nothing per tick: it catches up when shown.
    connect(&clock, &ClockModel::nowChanged, this, [this, show](Instant now) {
        if (isVisible())
            show(now);
    });
    m_refresh = [show, &clock] { show(clock.now()); };
}

void PopoverRoot::showEvent(QShowEvent* event)
{
    m_refresh();
    QWidget::showEvent(event);
}

} // namespace kalvix
