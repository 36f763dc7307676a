#include "settings/SettingsView.h"

#include "context/AppContext.h"
#include "context/SettingsState.h"
#include "settings/CountdownSection.h"
#include "settings/GeneralSection.h"
#include "settings/MenuBarSection.h"
#include "settings/WorldClockSection.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPropertyAnimation>
#include <QScopedValueRollback>
#include <QScrollArea>
#include <QScrollBar>
#include <QShowEvent>
#include <QSpacerItem>
#include <QVBoxLayout>

namespace kalvix {
namespace {

constexpr int kSideMargin = 20;
constexpr int kBottomMargin = 20;
constexpr int kScrollMillis = 250;

int indexOf(SettingsTab tab)
{
    return static_cast<int>(tab);
}

} // namespace

SettingsView::SettingsView(AppContext& context, QWidget* parent)
    : QWidget(parent)
    , m_context(context)
    , m_scroll(new QScrollArea(this))
    , m_form(new QWidget)
    , m_trailingSpace(new QSpacerItem(0, kBottomMargin, QSizePolicy::Minimum, QSizePolicy::Fixed))
    , m_general(new settings::GeneralSection(context.prefs, context.loginItems))
    , m_scrolling(new QPropertyAnimation(this))
{
    m_sections = {m_general,
                  new settings::MenuBarSection(context.prefs),
                  new settings::WorldClockSection(context.worldClocks),
                  new settings::CountdownSection(context.countdowns, context.time)};
    auto* form = new QVBoxLayout(m_form);
    form->setContentsMargins(kSideMargin, 0, kSideMargin, 0);
    form->setSpacing(0);
    for (settings::FormSection* section : m_sections) {
        form->addWidget(section);
        connect(section, &settings::FormSection::focusChainChanged, this, &SettingsView::orderTabs);
    }
    form->addSpacerItem(m_trailingSpace);

    m_scroll->setWidget(m_form);
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setFocusPolicy(Qt::NoFocus); // Tab goes from control to control, and the form follows
    m_scroll->viewport()->setBackgroundRole(QPalette::Window);
    m_form->setBackgroundRole(QPalette::Window);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_scroll);
    setFixedSize(kWidth, kHeight);

    m_scrolling->setTargetObject(m_scroll->verticalScrollBar());
    m_scrolling->setPropertyName("value");
    m_scrolling->setDuration(kScrollMillis);
    m_scrolling->setEasingCurve(QEasingCurve::OutCubic);
    m_sections.back()->installEventFilter(this);
    m_scroll->viewport()->installEventFilter(this);
    orderTabs();

    connect(&context.settingsState, &SettingsState::tabChanged, this, &SettingsView::scrollTo);
}

SettingsView::~SettingsView() = default;

settings::FormSection* SettingsView::section(SettingsTab tab) const
{
    return m_sections[indexOf(tab)];
}

SettingsTab SettingsView::sectionAtTop() const
{
    const int top = m_scroll->verticalScrollBar()->value();
    SettingsTab at = SettingsTab::general;
    for (SettingsTab tab :
         {SettingsTab::general, SettingsTab::menuBar, SettingsTab::worldClocks, SettingsTab::countdowns})
        if (section(tab)->y() <= top)
            at = tab;
    return at;
}

void SettingsView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_general->readLaunchAtLogin();
    if (!event->spontaneous())
        scrollTo(m_context.settingsState.tab());
}

void SettingsView::scrollTo(SettingsTab tab)
{
    m_scrolling->stop();
    settleLayout();
    QScrollBar* bar = m_scroll->verticalScrollBar();
    const int target = std::clamp(section(tab)->y(), bar->minimum(), bar->maximum());
    if (!isVisible() || target == bar->value()) {
        bar->setValue(target);
        return;
    }
    m_scrolling->setStartValue(bar->value());
    m_scrolling->setEndValue(target);
    m_scrolling->start();
}

void SettingsView::finishScrolling()
{
    if (m_scrolling->state() == QAbstractAnimation::Running)
        m_scrolling->setCurrentTime(m_scrolling->duration());
}

void SettingsView::settleLayout()
{
    // Geometry settles through posted layout requests (form, then scroll area); a scroll needs it now.
    for (int round = 0; round < 3; ++round)
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    updateTrailingSpace();
    for (int round = 0; round < 3; ++round)
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
}

bool SettingsView::eventFilter(QObject* watched, QEvent* event)
{
    if ((event->type() == QEvent::Resize || event->type() == QEvent::Move) &&
        (watched == m_sections.back() || watched == m_scroll->viewport()))
        updateTrailingSpace();
    return QWidget::eventFilter(watched, event);
}

// Room below the last section only as far as the section asked for needs it to reach the window's top: a
// form opened at General ends with its margin under Countdowns, not half a window of nothing.
void SettingsView::updateTrailingSpace()
{
    if (m_placingSpace)
        return; // the sections move while the form takes the new room
    const QScopedValueRollback placing(m_placingSpace, true);
    const settings::FormSection* asked = section(m_context.settingsState.tab());
    const int belowAsked = m_sections.back()->geometry().bottom() + 1 - asked->y();
    const int room = std::max(kBottomMargin, m_scroll->viewport()->height() - belowAsked);
    if (m_trailingSpace->sizeHint().height() == room)
        return;
    m_trailingSpace->changeSize(0, room, QSizePolicy::Minimum, QSizePolicy::Fixed);
    m_form->layout()->invalidate();
    // The room changes with the section asked for, just before the form scrolls there: the form and its
    // scroll range take the new size now, not at the event loop's next turns.
    m_form->layout()->activate();
    QEvent layoutRequest(QEvent::LayoutRequest);
    QCoreApplication::sendEvent(m_scroll, &layoutRequest);
}

void SettingsView::orderTabs()
{
    QWidget* previous = nullptr;
    for (const settings::FormSection* section : m_sections)
        for (QWidget* control : section->focusChain()) {
            if (previous)
                QWidget::setTabOrder(previous, control);
            previous = control;
        }
}

} // namespace kalvix
