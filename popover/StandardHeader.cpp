#include "popover/StandardHeader.h"

#include "clock/ClockModel.h"
#include "context/AppContext.h"
#include "popover/BigTimeView.h"
#include "popover/HeaderTexts.h"
#include "popover/StandardMenu.h"
#include "time/SystemZone.h"
#include "ui/ClockFollower.h"
#include "ui/PlainButton.h"
#include "ui/TextLabel.h"
#include "ui/TextStyles.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace kalvix {
namespace {

using ui::ColorRole;
using ui::Ink;

constexpr int kTitleToClock = 2;
constexpr int kMenuSymbolSize = 22;

} // namespace

StandardHeader::StandardHeader(AppContext& context, QWidget* parent)
    : QWidget(parent)
    , m_date(new ui::TextLabel(
          {}, ui::textStyleFont(ui::TextStyle::title2, QFont::Medium), Ink::role(ColorRole::primary), this))
    , m_bigTime(new BigTimeView(this))
    , m_menuButton(new ui::PlainButton(QStringLiteral("ellipsis.circle"),
                                       ui::systemFont(kMenuSymbolSize),
                                       Ink::role(ColorRole::secondary),
                                       QStringLiteral("Menu"),
                                       this))
    , m_menu(new StandardMenu(context, this))
{
    m_menuButton->setFixedSize(m_menuButton->sizeHint());
    connect(m_menuButton, &ui::PlainButton::clicked, this, &StandardHeader::openMenu);

    auto* texts = new QVBoxLayout;
    texts->setContentsMargins(0, 0, 0, 0);
    texts->setSpacing(kTitleToClock);
    texts->addWidget(m_date, 0, Qt::AlignLeft);
    texts->addWidget(m_bigTime, 0, Qt::AlignLeft);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(texts);
    layout->addStretch(1);
    layout->addWidget(m_menuButton, 0, Qt::AlignTop);

    new ui::ClockFollower(this, context.clock, [this](Instant now) { tick(now); });
    tick(context.clock.now());
}

void StandardHeader::tick(Instant now)
{
    const QTimeZone zone = systemZone();
    const QString localeId = currentLocaleId();
    const QString date = fullDateTitle(now, zone, localeId);
    if (m_date->text() != date)
        m_date->setText(date);
    m_bigTime->setText(bigClockText(now, zone, localeId));
}

void StandardHeader::openMenu()
{
    // Hung from the button's right edge: the button sits at the popover's right, so the menu opens inwards.
    const QPoint corner(m_menuButton->width() - m_menu->sizeHint().width(), m_menuButton->height());
    m_menu->popup(m_menuButton->mapToGlobal(corner));
}

} // namespace kalvix
