#include "popover/CalendarAppNotice.h"

#include "calendar/CalendarService.h"
#include "calendarstore/CalendarSources.h"
#include "popover/TipBanner.h"
#include "ui/ColorRoles.h"
#include "ui/PlainButton.h"
#include "ui/SymbolView.h"
#include "ui/TextLabel.h"
#include "ui/TextStyles.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace kalvix {
namespace {

using ui::ColorRole;
using ui::Ink;
using ui::TextStyle;

constexpr int kNoticePadding = 8;
constexpr int kNoticeSpacing = 8;

} // namespace

CalendarAppNotice::CalendarAppNotice(AppContext& context, QWidget* parent)
    : QWidget(parent)
    , m_context(context)
    , m_text(new ui::TextLabel(tr("No calendar application is installed."),
                               ui::textStyleFont(TextStyle::caption),
                               Ink::role(ColorRole::secondary),
                               this))
    , m_openFolder(new QPushButton(tr("Open Calendar Folder"), this))
    , m_dismiss(new ui::PlainButton(QStringLiteral("xmark.circle.fill"),
                                    ui::textStyleFont(TextStyle::body),
                                    Ink::role(ColorRole::tertiary),
                                    tr("Dismiss"),
                                    this))
{
    m_text->setFit(ui::TextLabel::Fit::wrap);
    m_dismiss->setFixedSize(m_dismiss->sizeHint());
    m_openFolder->setAccessibleName(m_openFolder->text());

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(kNoticePadding, kNoticePadding, kNoticePadding, kNoticePadding);
    layout->setSpacing(kNoticeSpacing);
    layout->addWidget(
        new ui::SymbolView(
            QStringLiteral("calendar"), ui::textStyleFont(TextStyle::body), Ink::role(ColorRole::secondary), this),
        0,
        Qt::AlignVCenter);
    auto* column = new QVBoxLayout;
    column->setSpacing(kNoticeSpacing);
    column->addWidget(m_text);
    column->addWidget(m_openFolder, 0, Qt::AlignLeft);
    layout->addLayout(column, 1);
    layout->addWidget(m_dismiss, 0, Qt::AlignTop);

    connect(m_openFolder, &QPushButton::clicked, this, [this] {
        const QString folder = calendarFolder();
        QDir().mkpath(folder); // Kalvix's own folder is read even before it exists
        m_context.actions.openFolder(folder);
    });
    connect(m_dismiss, &ui::PlainButton::clicked, this, &QWidget::hide);
    hide();
}

QString CalendarAppNotice::calendarFolder() const
{
    const QList<CalendarInfo> calendars = m_context.calendar.store().calendars();
    if (!calendars.isEmpty() && !calendars.front().path.isEmpty()) {
        const QFileInfo first(calendars.front().path);
        return first.isDir() ? first.absoluteFilePath() : first.absolutePath();
    }
    return kalvixCalendarFolder();
}

void CalendarAppNotice::paintEvent(QPaintEvent*)
{
    paintBannerCard(*this);
}

CalendarAppReply calendarAppReply(QWidget* asking)
{
    return [asking = QPointer<QWidget>(asking)](CalendarAppOutcome outcome) {
        for (QWidget* at = asking; at; at = at->parentWidget()) {
            if (auto* notice = at->findChild<CalendarAppNotice*>()) {
                notice->setVisible(outcome == CalendarAppOutcome::none);
                if (outcome == CalendarAppOutcome::none)
                    notice->openFolderButton()->setFocus(Qt::OtherFocusReason);
                return;
            }
        }
    };
}

} // namespace kalvix
