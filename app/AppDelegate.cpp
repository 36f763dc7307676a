#include "app/AppDelegate.h"

#include "app/PopoverWindow.h"
#include "app/SystemCalendar.h"
#include "clock/ClockModel.h"
#include "context/AppContext.h"
#include "platform/LoginItems.h"
#include "platform/PreferencesStore.h"
#include "platform/StatusItem.h"
#include "platform/TimeSource.h"
#include "popover/PopoverRoot.h"
#include "prefs/Prefs.h"
#include "prefs/SettingsState.h"

#include <QApplication>
#include <QDir>
#include <QFontDatabase>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QTimer>

namespace kalvix {

AppDelegate::AppDelegate(QStringList arguments, AppContext& context, MakeStatusItem makeStatusItem, QObject* parent)
    : QObject(parent)
    , m_arguments(std::move(arguments))
    , m_context(context)
    , m_makeStatusItem(std::move(makeStatusItem))
    , m_popover(std::make_unique<PopoverWindow>())
{
}

AppDelegate::~AppDelegate()
{
    disconnect(m_titleSink);
}

ClockModel& AppDelegate::clock()
{
    static ClockModel* clock = new ClockModel(Prefs::standard(), TimeSource::system());
    return *clock;
}

CalendarService& AppDelegate::calendarService()
{
    static CalendarService* service = createSystemCalendarService(Prefs::standard(), TimeSource::system()).release();
    return *service;
}

QFont AppDelegate::titleFont()
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSizeF(14.5);
    font.setWeight(QFont::Medium);
    return font;
}

void AppDelegate::registerLoginItemOnce(PreferencesStore& prefs, LoginItems& loginItems)
{
    if (prefs.boolValue(PrefKey::didRegisterLoginItem, false))
        return;
    loginItems.registerApp(); // failure is ignored: the switch in Settings belongs to the user from now on
    prefs.setBool(PrefKey::didRegisterLoginItem, true);
}

void AppDelegate::applicationDidFinishLaunching()
{
    Prefs::registerDefaults(m_context.prefs);
    registerLoginItemOnce(m_context.prefs, m_context.loginItems);
    m_context.loginItems.refresh(); // an entry whose program moved starts the one running now

    m_statusItem = m_makeStatusItem ? m_makeStatusItem() : nullptr;
    if (m_statusItem) {
        connect(m_statusItem.get(), &StatusItem::activated, this, &AppDelegate::togglePopover);
        connect(m_statusItem.get(), &StatusItem::settingsRequested, this, [this] {
            m_context.actions.openSettings(SettingsTab::general);
        });
        connect(m_statusItem.get(), &StatusItem::quitRequested, this, [this] { m_context.actions.quit(); });
    }

    const QFont font = titleFont();
    ClockModel& model = m_context.clock;
    const auto showTitle = [this, font](const QString& title) {
        if (m_statusItem)
            m_statusItem->setTitle(title, font, titleBaselineOffset);
    };
    disconnect(m_titleSink);
    m_titleSink = connect(&model, &ClockModel::menuBarTitleChanged, this, showTitle);
    showTitle(model.menuBarTitle()); // the current title at once, never an empty item

    m_popover->setContent(new PopoverRoot(m_context));

    handleSnapshotModeIfNeeded();

    if (m_arguments.contains(QStringLiteral("--open-settings")))
        m_context.actions.openSettings(SettingsTab::general);
}

void AppDelegate::togglePopover(QPoint anchor)
{
    if (m_popover->isShown()) {
        m_popover->closePopover();
        return;
    }
    if (m_popover->justClosedByOutsideClick())
        return; // the click on the item already closed it
    m_popover->showAt(anchor);
}

void AppDelegate::handleSnapshotModeIfNeeded()
{
    const qsizetype at = m_arguments.indexOf(QStringLiteral("--snapshot"));
    if (at < 0 || at + 1 >= m_arguments.size())
        return;
    const QString folder = m_arguments.at(at + 1);
    QTimer::singleShot(2500, this, [this, folder] {
        renderSnapshots(m_context, folder);
        m_context.actions.quit();
    });
}

void AppDelegate::renderSnapshots(AppContext& context, const QString& folder)
{
    const struct {
        const char* name;
        int width;
    } layouts[] = {{"standard.png", 640}, {"compact.png", 300}};
    context.calendar.setDisplayedMonth(context.clock.now());
    for (const auto& layout : layouts) {
        PopoverRoot content(context);
        content.setFixedWidth(layout.width);
        content.adjustSize();
        QImage image(content.size() * 2, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(2.0);
        image.fill(content.palette().color(QPalette::Window));
        content.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        // A folder that is missing or not writable: this file is skipped, the next is still tried.
        image.save(QDir(folder).filePath(QString::fromLatin1(layout.name)), "PNG");
    }
}

} // namespace kalvix
