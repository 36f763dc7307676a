#include "popover/TipBanner.h"

#include "prefs/Prefs.h"
#include "ui/ClockTip.h"
#include "ui/PaintCache.h"
#include "ui/PlainButton.h"
#include "ui/PreferenceBinding.h"
#include "ui/Shapes.h"
#include "ui/SymbolView.h"
#include "ui/TextLabel.h"
#include "ui/TextStyles.h"

#include <QHBoxLayout>
#include <QPainter>

namespace kalvix {
namespace {

using ui::ColorRole;
using ui::Ink;
using ui::TextStyle;

constexpr int kTipPadding = 8;
constexpr int kTipSpacing = 8;
constexpr qreal kCornerRadius = 8;
constexpr qreal kBackgroundOpacity = 0.5;

} // namespace

TipBanner::TipBanner(PreferencesStore& prefs, QWidget* parent)
    : QWidget(parent)
    , m_dismissed(new ui::Binding(prefs, Pref::didDismissClockTip, this))
    , m_text(new ui::TextLabel(
          ui::clockTipText(), ui::textStyleFont(TextStyle::caption), Ink::role(ColorRole::secondary), this))
    , m_dismiss(new ui::PlainButton(QStringLiteral("xmark.circle.fill"),
                                    ui::textStyleFont(TextStyle::body),
                                    Ink::role(ColorRole::tertiary),
                                    QStringLiteral("Dismiss tip"),
                                    this))
{
    m_text->setFit(ui::TextLabel::Fit::wrap);
    m_dismiss->setFixedSize(m_dismiss->sizeHint());

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(kTipPadding, kTipPadding, kTipPadding, kTipPadding);
    layout->setSpacing(kTipSpacing);
    layout->addWidget(
        new ui::SymbolView(
            QStringLiteral("lightbulb"), ui::textStyleFont(TextStyle::body), Ink::fixed(ui::FixedColor::yellow), this),
        0,
        Qt::AlignVCenter);
    // The text takes the room up to the button (and wraps there), which leaves the flexible space after a
    // short text where it stands in the design.
    layout->addWidget(m_text, 1, Qt::AlignVCenter);
    layout->addStretch(0);
    layout->addWidget(m_dismiss, 0, Qt::AlignVCenter);

    connect(m_dismiss, &ui::PlainButton::clicked, this, [this] { m_dismissed->set(true); });
    connect(m_dismissed, &ui::PreferenceBinding::changed, this, [this] { setVisible(!isDismissed()); });
    setVisible(!isDismissed());
}

bool TipBanner::isDismissed() const
{
    return m_dismissed->value();
}

void paintBannerCard(QWidget& banner)
{
    QPainter painter(&banner);
    const QColor fill = Ink::role(ColorRole::quaternary, kBackgroundOpacity).resolve(banner.palette());
    ui::paintCached(painter,
                    QRectF(banner.rect()),
                    QStringLiteral("tip-card|%1").arg(fill.rgba(), 0, 16),
                    [&](QPainter& p, const QRectF& card) { ui::fillRoundedRect(p, card, kCornerRadius, fill); });
}

void TipBanner::paintEvent(QPaintEvent*)
{
    paintBannerCard(*this);
}

} // namespace kalvix
