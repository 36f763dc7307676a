#include "popover/EventRow.h"

#include "calendar/EventLabels.h"
#include "ui/AccessibleRole.h"
#include "ui/Shapes.h"
#include "ui/SymbolView.h"
#include "ui/TextLabel.h"
#include "ui/TextStyles.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace kalvix {
namespace {

constexpr int kEventRowSpacing = 12;
constexpr QSize kBar{4, 42};
constexpr qreal kBarRadius = 2;
constexpr int kIconSize = 19;
constexpr int kIconFrameWidth = 26;
constexpr int kTextSpacing = 3;
constexpr int kTitleSize = 15;
constexpr int kDetailSize = 13;
constexpr int kMinGap = 8;

using ui::ColorRole;
using ui::Ink;

ui::Ink relativeInk(bool running)
{
    return Ink::role(running ? ColorRole::accent : ColorRole::secondary);
}

} // namespace

void describeEventRow(QWidget* row, const DayEvent& event)
{
    const QStringList details = eventDetails(event);
    ui::setAccessibleRole(row, QAccessible::ListItem);
    row->setToolTip(details.join(u'\n'));
    row->setAccessibleName(details.front());
    row->setAccessibleDescription(details.mid(1).join(QStringLiteral(", ")));
}

bool EventRow::isRunning(const DayEvent& event, Instant now)
{
    return event.start <= now && now < event.end;
}

EventRow::EventRow(const DayEvent& event, Instant now, QWidget* parent)
    : QWidget(parent)
    , m_event(event)
    , m_title(
          new ui::TextLabel(event.title, ui::systemFont(kTitleSize, QFont::DemiBold), Ink::role(ColorRole::primary)))
    , m_time(new ui::TextLabel(timeRangeLabel(event), ui::systemFont(kDetailSize), Ink::role(ColorRole::secondary)))
    , m_relative(new ui::TextLabel(QString(), ui::systemFont(kDetailSize), Ink::role(ColorRole::secondary)))
{
    const QColor color(event.color.r, event.color.g, event.color.b, event.color.a);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(kEventRowSpacing);
    row->addWidget(new ui::ShapeView(ui::ShapeView::Kind::roundedRect, kBar, Ink::custom(color), kBarRadius, this),
                   0,
                   Qt::AlignVCenter);
    auto* icon = new ui::SymbolView(
        QStringLiteral("calendar"), ui::systemFont(kIconSize, QFont::Medium), Ink::custom(color), this);
    icon->setFixedWidth(kIconFrameWidth);
    row->addWidget(icon, 0, Qt::AlignVCenter);

    auto* text = new QVBoxLayout;
    text->setSpacing(kTextSpacing);
    text->setContentsMargins(0, 0, 0, 0);
    for (ui::TextLabel* label : {m_title, m_time}) {
        label->setParent(this);
        label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        text->addWidget(label);
    }
    // The text column takes what is left; between it and the relative label sit the row's spacing, the
    // flexible spacer at its minimum and the spacing again (Qt adds spacing between the two labels once).
    row->addLayout(text, 1);
    row->addSpacing(kMinGap + kEventRowSpacing);
    m_relative->setParent(this);
    m_relative->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    row->addWidget(m_relative, 0, Qt::AlignVCenter);
    describeEventRow(this, event);
    setNow(now);
}

void EventRow::setNow(Instant now)
{
    const QString text = kalvix::relativeLabel(m_event, now);
    if (text != m_relative->text()) {
        m_relative->setText(text);
        m_relative->updateGeometry();
    }
    const bool running = isRunning(m_event, now);
    if (running != m_running || m_relative->ink().resolve(palette()) != relativeInk(running).resolve(palette())) {
        m_running = running;
        m_relative->setInk(relativeInk(running));
    }
}

} // namespace kalvix
