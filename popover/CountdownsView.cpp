#include "popover/CountdownsView.h"

#include "clock/ClockModel.h"
#include "context/AppContext.h"
#include "context/SettingsState.h"
#include "countdowns/CountdownStore.h"
#include "popover/CountdownRow.h"
#include "popover/SectionHeader.h"
#include "time/CivilCalendar.h"
#include "ui/ClockFollower.h"
#include "ui/TextLabel.h"
#include "ui/TextStyles.h"

#include <QLocale>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace kalvix {
namespace {

constexpr int kCountdownsSpacing = 10;
constexpr int kCountdownsRowSpacing = 10;
constexpr int kHintPadding = 16;

} // namespace

QList<Countdown> CountdownsView::displayOrder(const QList<Countdown>& items)
{
    QList<Countdown> sorted = items;
    // NaN compares false both ways and would break the sort's ordering; such dates go last, in order.
    std::stable_sort(sorted.begin(), sorted.end(), [](const Countdown& a, const Countdown& b) {
        const bool aNumber = !std::isnan(a.date.seconds);
        const bool bNumber = !std::isnan(b.date.seconds);
        if (aNumber != bNumber)
            return aNumber;
        return aNumber && a.date.seconds < b.date.seconds;
    });
    return sorted;
}

CountdownsView::CountdownsView(AppContext& context, QWidget* parent)
    : QWidget(parent)
    , m_context(context)
    , m_hint(new ui::TextLabel(QStringLiteral("Pin dates that matter in Settings."),
                               ui::textStyleFont(ui::TextStyle::callout),
                               ui::Ink::role(ui::ColorRole::secondary)))
    , m_hintBox(new QWidget(this))
    , m_list(new QVBoxLayout)
    , m_more(new ui::TextLabel(
          QString(), ui::textStyleFont(ui::TextStyle::callout), ui::Ink::role(ui::ColorRole::secondary)))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(kCountdownsSpacing);
    layout->addLayout(makeSectionHeader(QStringLiteral("Countdowns"), SettingsTab::countdowns, context.actions, this));

    m_hint->setFit(ui::TextLabel::Fit::wrap);
    m_hint->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    auto* hintLayout = new QVBoxLayout(m_hintBox);
    hintLayout->setContentsMargins(0, kHintPadding, 0, kHintPadding);
    hintLayout->addWidget(m_hint);
    layout->addWidget(m_hintBox);

    m_list->setContentsMargins(0, 0, 0, 0);
    m_list->setSpacing(kCountdownsRowSpacing);
    layout->addLayout(m_list);
    m_more->setAlignment(Qt::AlignHCenter);
    m_more->hide();
    layout->addWidget(m_more);
    layout->addStretch(1);

    connect(&context.countdowns, &CountdownStore::itemsChanged, this, &CountdownsView::rebuild);
    new ui::ClockFollower(this, context.clock, [this](Instant now) { tick(now); });
    rebuild();
}

void CountdownsView::rebuild()
{
    qDeleteAll(m_rows);
    m_rows.clear();
    const QList<Countdown> ordered = displayOrder(m_context.countdowns.items());
    for (const Countdown& countdown : ordered.first(std::min<qsizetype>(ordered.size(), kMostRows))) {
        auto* row = new CountdownRow(countdown, this);
        m_list->addWidget(row);
        m_rows << row;
    }
    m_hintBox->setVisible(m_rows.isEmpty());
    const qsizetype more = ordered.size() - m_rows.size();
    m_more->setText(more > 0 ? tr("and %1 more").arg(QLocale().toString(more)) : QString());
    m_more->setVisible(more > 0);
    tick(m_context.clock.now());
}

void CountdownsView::tick(Instant now)
{
    const CivilCalendar calendar = CivilCalendar::current();
    for (CountdownRow* row : m_rows)
        row->setNow(now, calendar);
}

} // namespace kalvix
