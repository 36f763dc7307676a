#include "popover/CompactView.h"

#include "calendar/CalendarService.h"
#include "context/AppContext.h"
#include "context/SettingsState.h"
#include "popover/CalendarAppNotice.h"
#include "popover/CompactAgenda.h"
#include "popover/MonthGridView.h"
#include "popover/OverflowArea.h"
#include "prefs/Prefs.h"
#include "time/TimeSource.h"
#include "ui/PlainButton.h"
#include "ui/PreferenceBinding.h"
#include "ui/TextStyles.h"

#include <QHBoxLayout>
#include <QShowEvent>
#include <QVBoxLayout>

namespace kalvix {
namespace {

constexpr int kCompactSpacing = 8;
constexpr int kCompactPadding = 12;

} // namespace

CompactView::CompactView(AppContext& context, QWidget* parent)
    : QWidget(parent)
    , m_context(context)
    , m_compactMode(new ui::Binding(context.prefs, Pref::compactMode, this))
    , m_grid(new MonthGridView(context, true, this))
    , m_agenda(new CompactAgenda(context, this))
{
    // The grid and the buttons stay; the agenda scrolls when the screen is shorter than the layout. The
    // agenda's area spans the whole width, so its scroll bar takes the right padding.
    auto* stack = new QVBoxLayout(this);
    stack->setSpacing(kCompactSpacing);
    stack->setContentsMargins(0, kCompactPadding, 0, kCompactPadding);
    auto* top = new QWidget(this);
    top->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    auto* topColumn = new QVBoxLayout(top);
    topColumn->setSpacing(kCompactSpacing);
    topColumn->setContentsMargins(kCompactPadding, 0, kCompactPadding, 0);
    topColumn->addWidget(new CalendarAppNotice(context, top));
    topColumn->addWidget(m_grid);
    topColumn->addWidget(makeButtonRow());
    stack->addWidget(top);

    auto* agendaBox = new QWidget(this);
    auto* agendaColumn = new QVBoxLayout(agendaBox);
    agendaColumn->setSpacing(0);
    agendaColumn->setContentsMargins(kCompactPadding, 0, kCompactPadding, 0);
    agendaColumn->addWidget(m_agenda);
    m_agendaArea = new OverflowArea(agendaBox, this);
    stack->addWidget(m_agendaArea);
    stack->addStretch(); // a height larger than the content (the switch's animation) leaves room below
    connect(&context.calendar, &CalendarService::accessChanged, this, &CompactView::showAgendaIfAuthorized);
    showAgendaIfAuthorized();
}

QWidget* CompactView::makeButtonRow()
{
    auto* buttons = new QWidget(this);
    auto* row = new QHBoxLayout(buttons); // the platform's default spacing
    row->setContentsMargins(0, 0, 0, 0);
    const QFont font = ui::textStyleFont(ui::TextStyle::body);
    const auto button = [&](const QString& symbol, const QString& tip) {
        auto* b = new ui::PlainButton(symbol, font, ui::Ink::role(ui::ColorRole::secondary), tip, buttons);
        b->setToolTip(tip);
        return b;
    };
    m_expand = button(QStringLiteral("arrow.up.left.and.arrow.down.right"), tr("Expand to standard view"));
    m_settings = button(QStringLiteral("gearshape"), tr("Settings"));
    m_quit = button(QStringLiteral("power"), tr("Quit Kalvix"));
    row->addWidget(m_expand);
    row->addStretch();
    row->addWidget(m_settings);
    row->addWidget(m_quit);
    connect(m_expand, &ui::PlainButton::clicked, this, [this] { m_compactMode->set(false); });
    connect(
        m_settings, &ui::PlainButton::clicked, this, [this] { m_context.actions.openSettings(SettingsTab::general); });
    connect(m_quit, &ui::PlainButton::clicked, this, [this] { m_context.actions.quit(); });
    return buttons;
}

void CompactView::showAgendaIfAuthorized()
{
    const bool authorized = m_context.calendar.access() == CalendarAccess::fullAccess;
    m_agenda->setVisible(authorized);
    m_agendaArea->setVisible(authorized);
}

void CompactView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        appear();
}

// Each showing starts again at the current month, also after the grid was moved to another.
void CompactView::appear()
{
    m_grid->appear(m_context.time.now());
}

} // namespace kalvix
