#include "popover/WorldClockCell.h"

#include "popover/AnalogClockFace.h"
#include "popover/WorldClockLabels.h"
#include "time/CivilCalendar.h"
#include "ui/AccessibleRole.h"
#include "ui/TextLabel.h"
#include "ui/TextStyles.h"

#include <QVBoxLayout>

namespace kalvix {
namespace {

using ui::ColorRole;
using ui::Ink;
using ui::TextLabel;
using ui::TextStyle;

constexpr int kCellFaceSide = 70;
constexpr int kBelowFace = 3;
constexpr int kCellLineSpacing = 3;
constexpr int kMinimumWidth = 70;

TextLabel* centredLabel(const QString& text, const QFont& font, Ink ink, QWidget* parent)
{
    auto* label = new TextLabel(text, font, ink, parent);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    return label;
}

void setTextIfChanged(TextLabel* label, const QString& text)
{
    if (label->text() != text)
        label->setText(text);
}

} // namespace

WorldClockCell::WorldClockCell(City city, QWidget* parent)
    : QWidget(parent)
    , m_city(std::move(city))
    , m_face(new AnalogClockFace(this))
    , m_name(centredLabel(
          m_city.name, ui::textStyleFont(TextStyle::subheadline, QFont::Medium), Ink::role(ColorRole::primary), this))
    , m_day(centredLabel({}, ui::textStyleFont(TextStyle::caption), Ink::role(ColorRole::secondary), this))
    , m_time(centredLabel({}, ui::textStyleFont(TextStyle::caption), Ink::role(ColorRole::secondary), this))
{
    ui::setAccessibleRole(this, QAccessible::ListItem);
    setMinimumWidth(kMinimumWidth);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    m_face->setFixedSize(kCellFaceSide, kCellFaceSide);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0); // the gaps below are the design's, each written out
    layout->addWidget(m_face, 0, Qt::AlignHCenter);
    layout->addSpacing(kBelowFace + kCellLineSpacing);
    layout->addWidget(m_name, 0, Qt::AlignHCenter);
    layout->addSpacing(kCellLineSpacing);
    layout->addWidget(m_day, 0, Qt::AlignHCenter);
    layout->addSpacing(kCellLineSpacing);
    layout->addWidget(m_time, 0, Qt::AlignHCenter);
}

void WorldClockCell::setNow(Instant now, const CivilCalendar& local, const QString& localeId)
{
    const QTimeZone zone = cityZone(m_city);
    const RelativeDay day = relativeDay(now, zone, local);
    const QString time = worldTimeString(now, zone, localeId);
    m_face->setTime(wallTimeIn(now, zone));
    setTextIfChanged(m_day, dayLabel(day));
    setTextIfChanged(m_time, time);

    const QString name = worldClockAccessibleName(m_city.name, time, day);
    if (accessibleName() != name)
        setAccessibleName(name);
    const QString tip = worldFullDate(now, zone, localeId);
    if (toolTip() != tip)
        setToolTip(tip);
}

QString WorldClockCell::dayText() const
{
    return m_day->text();
}

QString WorldClockCell::timeText() const
{
    return m_time->text();
}

} // namespace kalvix
