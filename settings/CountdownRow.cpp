#include "settings/CountdownRow.h"

#include "settings/CountdownDateEdit.h"
#include "ui/PlainButton.h"
#include "ui/TextStyles.h"

#include <QHBoxLayout>
#include <QLineEdit>

#include <algorithm>
#include <limits>

namespace kalvix::settings {
namespace {

constexpr int kSpacing = 10;
constexpr int kCountdownRemoveTarget = 22;

} // namespace

CountdownRow::CountdownRow(const Countdown& countdown, const TimeSource& time, QWidget* parent)
    : FormRow(parent)
    , m_id(countdown.id)
    , m_title(new QLineEdit(this))
    , m_date(new CountdownDateEdit(time, this))
    , m_remove(new ui::PlainButton(QStringLiteral("minus.circle.fill"),
                                   ui::textStyleFont(ui::TextStyle::body),
                                   ui::Ink::fixed(ui::FixedColor::red),
                                   QStringLiteral("Remove countdown"),
                                   this))
{
    m_title->setPlaceholderText(QStringLiteral("Title"));
    // A stored title of any length is shown and kept whole: the field's default limit would cut it.
    m_title->setMaxLength(std::numeric_limits<int>::max());
    m_remove->setFixedSize(kCountdownRemoveTarget, kCountdownRemoveTarget);
    rowLayout()->setSpacing(kSpacing);
    rowLayout()->addWidget(m_title, 1);
    rowLayout()->addWidget(m_date, 0, Qt::AlignVCenter);
    rowLayout()->addWidget(m_remove, 0, Qt::AlignVCenter);
    m_title->setText(countdown.title);
    m_title->setCursorPosition(0);
    m_date->setInstant(countdown.date);
    setPosition(1);

    connect(m_title, &QLineEdit::textEdited, this, &CountdownRow::titleEdited);
    connect(m_date, &CountdownDateEdit::instantPicked, this, &CountdownRow::datePicked);
    connect(m_remove, &ui::PlainButton::clicked, this, &CountdownRow::removeClicked);
}

void CountdownRow::showCountdown(const Countdown& countdown)
{
    if (m_title->text() != countdown.title) {
        // Changed elsewhere: someone typing here keeps their place; otherwise a long title shows its start.
        const int cursor = m_title->hasFocus() ? m_title->cursorPosition() : 0;
        m_title->setText(countdown.title);
        m_title->setCursorPosition(std::min(cursor, static_cast<int>(countdown.title.size())));
    }
    if (m_date->instant() != countdown.date)
        m_date->setInstant(countdown.date);
}

void CountdownRow::setPosition(int position)
{
    const QString n = QString::number(position);
    m_title->setAccessibleName(QStringLiteral("Title of countdown ") + n);
    m_date->setAccessibleName(QStringLiteral("Date of countdown ") + n);
    m_remove->setAccessibleName(QStringLiteral("Remove countdown ") + n);
}

} // namespace kalvix::settings
