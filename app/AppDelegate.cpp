#include "app/AppDelegate.h"

#include "app/CommandLine.h"

#include "app/PopoverWindow.h"
#include "calendar/CalendarService.h"
#include "clock/ClockModel.h"
#include "context/AppContext.h"
#include "context/SettingsState.h"
#include "desktop/LoginItems.h"
#include "desktop/UserFile.h"
#include "popover/CompactView.h"
#include "popover/PopoverRoot.h"
#include "popover/StandardView.h"
#include "prefs/PreferencesStore.h"
#include "prefs/Prefs.h"
#include "statusitem/StatusItem.h"
#include "time/TimeSource.h"
#include "ui/ColorRoles.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFontDatabase>
#include <QImage>
#include <QLayout>
#include <QTextStream>
#include <QTimer>

namespace kalvix {
namespace {

constexpr int kSnapshotDelayMs = 2500;
constexpr int kStandardWidth = 640;
constexpr int kCompactWidth = 300;
constexpr qreal kSnapshotScale = 2.0;

} // namespace

QImage AppDelegate::snapshotImage(QWidget& layout, int width)
{
    layout.setAttribute(Qt::WA_DontShowOnScreen); // laid out and shown (its appearance step runs), not on screen
    layout.resize(width, PopoverRoot::naturalHeight(&layout, width));
    layout.show();
    for (int pass = 0; pass < 3; ++pass) { // nested layouts settle their sizes over a few rounds
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        layout.layout()->activate();
        layout.resize(width, PopoverRoot::naturalHeight(&layout, width));
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QImage image(layout.size() * kSnapshotScale, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return image;
    image.setDevicePixelRatio(kSnapshotScale);
    image.fill(ui::roleColor(ui::ColorRole::windowBackground, layout.palette()));
    layout.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    layout.hide();
    return image;
}

namespace {

bool writeSnapshot(QWidget& layout, int width, const QString& path)
{
    const QImage image = AppDelegate::snapshotImage(layout, width);
    QByteArray png;
    QBuffer buffer(&png);
    // Written to the named file itself: a FIFO or a link to another file in its place is refused.
    if (!image.isNull() && buffer.open(QIODevice::WriteOnly) && image.save(&buffer, "PNG") &&
        writeFileHere(path, png).status == WriteStatus::ok)
        return true;
    QTextStream(stderr) << "kalvix: could not write the snapshot " << path << Qt::endl;
    return false;
}

} // namespace

class AppDelegate::ClosingActions final : public AppActions {
public:
    ClosingActions(AppActions& actions, std::function<void()> closePopover)
        : m_actions(actions)
        , m_closePopover(std::move(closePopover))
    {
    }

    // The popover closes only once something opens: with no calendar application it stays, saying so.
    void openCalendarApp(Instant day, CalendarAppReply reply) override
    {
        m_actions.openCalendarApp(day, closingFirst(std::move(reply)));
    }
    void openCalendarApp(CalendarAppReply reply) override { m_actions.openCalendarApp(closingFirst(std::move(reply))); }
    void openSettings(SettingsTab tab) override
    {
        m_closePopover();
        m_actions.openSettings(tab);
    }
    void openFolder(const QString& path) override
    {
        m_closePopover();
        m_actions.openFolder(path);
    }
    void quit() override { m_actions.quit(); }

private:
    CalendarAppReply closingFirst(CalendarAppReply reply) const
    {
        return [close = m_closePopover, reply = std::move(reply)](CalendarAppOutcome outcome) {
            if (outcome == CalendarAppOutcome::opening)
                close();
            if (reply)
                reply(outcome);
        };
    }

    AppActions& m_actions;
    std::function<void()> m_closePopover;
};

AppDelegate::AppDelegate(QStringList arguments, AppContext& context, MakeStatusItem makeStatusItem, QObject* parent)
    : QObject(parent)
    , m_arguments(std::move(arguments))
    , m_actions(std::make_unique<ClosingActions>(context.actions,
                                                 [this] {
                                                     if (m_popover)
                                                         m_popover->closePopover();
                                                 }))
    , m_context{context.prefs,
                context.time,
                context.clock,
                context.calendar,
                context.worldClocks,
                context.countdowns,
                context.settingsState,
                context.loginItems,
                *m_actions}
    , m_makeStatusItem(std::move(makeStatusItem))
    , m_popover(std::make_unique<PopoverWindow>())
{
}

AppDelegate::~AppDelegate()
{
    disconnect(m_titleSink);
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
    if (prefs.value(Pref::didRegisterLoginItem))
        return;
    loginItems.registerApp(); // failure is ignored: the switch in Settings belongs to the user from now on
    prefs.set(Pref::didRegisterLoginItem, true);
}

void AppDelegate::applicationDidFinishLaunching()
{
    Prefs::registerDefaults(m_context.prefs);
    registerLoginItemOnce(m_context.prefs, m_context.loginItems);
    // An entry whose program moved starts the one running now; a snapshot, often taken with a build that
    // is not the user's program, leaves the entry alone.
    if (!CommandLine::parse(m_arguments).snapshotFolder)
        m_context.loginItems.refresh();

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

    auto* root = new PopoverRoot(m_context);
    m_popover->setContent(root);
    connect(m_popover.get(), &PopoverWindow::roomChanged, root, [root](QSize room) {
        root->setHeightLimit(room.height());
    });

    handleSnapshotModeIfNeeded();

    if (m_arguments.contains(QStringLiteral("--open-settings")))
        m_context.actions.openSettings(SettingsTab::general);
}

void AppDelegate::togglePopover(QRect anchor)
{
    if (m_popover->isShown()) {
        m_popover->closePopover();
        return;
    }
    if (m_popover->justClosedByOutsideClick())
        return; // the click on the item already closed it
    m_popover->showAt(anchor);
}

void AppDelegate::openSettings(SettingsTab tab)
{
    m_context.actions.openSettings(tab);
}

void AppDelegate::handleSnapshotModeIfNeeded()
{
    const qsizetype at = m_arguments.indexOf(QStringLiteral("--snapshot"));
    if (at < 0 || at + 1 >= m_arguments.size())
        return;
    m_snapshotFolder = m_arguments.at(at + 1);
    m_snapshotTimer = new QTimer(this);
    m_snapshotTimer->setSingleShot(true);
    m_snapshotTimer->setInterval(kSnapshotDelayMs);
    connect(m_snapshotTimer, &QTimer::timeout, this, &AppDelegate::renderScheduledSnapshot);
    m_snapshotTimer->start();
}

void AppDelegate::renderScheduledSnapshot()
{
    if (!m_snapshotTimer)
        return;
    m_snapshotTimer->stop();
    m_snapshotTimer->deleteLater();
    m_snapshotTimer = nullptr;
    if (renderSnapshots(m_context, m_snapshotFolder))
        m_context.actions.quit();
    else
        QCoreApplication::exit(1); // a picture asked for and not written is a failure, not a success
}

bool AppDelegate::renderSnapshots(AppContext& context, const QString& folder)
{
    context.calendar.setDisplayedMonth(context.time.now());
    StandardView standard(context);
    CompactView compact(context);
    const bool wroteStandard =
        writeSnapshot(standard, kStandardWidth, QDir(folder).filePath(QStringLiteral("standard.png")));
    const bool wroteCompact =
        writeSnapshot(compact, kCompactWidth, QDir(folder).filePath(QStringLiteral("compact.png")));
    return wroteStandard && wroteCompact;
}

} // namespace kalvix
