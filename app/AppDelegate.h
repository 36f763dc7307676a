#pragma once
// Kalvix's application delegate: the launch sequence, the status item and its live title, the
// popover, the one-time login-item registration and the launch arguments.
//
// Launch runs in a fixed order: defaults, login item, status item, clock, title subscription,
// popover content, snapshot mode, settings. The clock, the calendar service and the stores are the
// context's, which main owns.
//
// Whatever leaves the popover for another window (Settings, the calendar application as it opens, a
// folder) closes the popover first, from the popover's own controls, the status item's menu or another process alike:
// the window the user goes to then takes the next click, instead of that click only closing the popover.
#include "context/AppContext.h"

#include <QFont>
#include <QImage>
#include <QObject>
#include <QRect>
#include <QStringList>

#include <functional>

#include <memory>

class QTimer;
class QWidget;

namespace kalvix {

class LoginItems;
class PopoverWindow;
class PreferencesStore;
class StatusItem;
enum class SettingsTab;

class AppDelegate final : public QObject {
    Q_OBJECT
public:
    // Makes the status item; the real one talks to the desktop, tests give their own.
    using MakeStatusItem = std::function<std::unique_ptr<StatusItem>()>;

    // `context` must outlive the delegate.
    AppDelegate(QStringList arguments, AppContext& context, MakeStatusItem makeStatusItem, QObject* parent = nullptr);
    ~AppDelegate() override;

    void applicationDidFinishLaunching();
    // Shows the popover against the item at `anchor` (null: the panel edge nearest the pointer), or
    // closes it when it is shown.
    void togglePopover(QRect anchor = {});
    // The Settings window at `tab`, the popover closed first.
    void openSettings(SettingsTab tab);

    StatusItem* statusItem() const { return m_statusItem.get(); }
    PopoverWindow* popover() const { return m_popover.get(); }

    // The status item's font: the desktop's UI font at 14.5 pt, medium weight.
    static QFont titleFont();
    static constexpr qreal titleBaselineOffset = 0.5;

    // Asks the desktop to start Kalvix at login once per user; whatever happens, it is not tried again.
    static void registerLoginItemOnce(PreferencesStore& prefs, LoginItems& loginItems);

    // Draws the Standard and the Compact layout, each at its width and natural height at scale 2 over the
    // window background, into `folder` as standard.png and compact.png (replacing files of those names).
    // A file that cannot be written is named on stderr and the other is still tried; true when both were.
    static bool renderSnapshots(AppContext& context, const QString& folder);
    // One layout drawn as those pictures are: at `width` and its natural height, scale 2, over the window
    // background. The layout is left laid out (and hidden), so what it drew can be found by its children.
    static QImage snapshotImage(QWidget& layout, int width);

    // With --snapshot DIR, the launch schedules the pictures and the quit 2.5 s later (the calendars load
    // meanwhile). The pending single-shot timer, or null when none is scheduled.
    QTimer* snapshotTimer() const { return m_snapshotTimer; }
    // Renders the scheduled snapshot now instead of at the end of its wait, and quits (with status 1 when
    // a file could not be written).
    void renderScheduledSnapshot();

private:
    class ClosingActions;

    void handleSnapshotModeIfNeeded();

    QStringList m_arguments;
    std::unique_ptr<ClosingActions> m_actions;
    AppContext m_context; // the given one, with actions that close the popover first
    MakeStatusItem m_makeStatusItem;
    std::unique_ptr<StatusItem> m_statusItem;
    std::unique_ptr<PopoverWindow> m_popover;
    QMetaObject::Connection m_titleSink;
    QTimer* m_snapshotTimer = nullptr;
    QString m_snapshotFolder;
};

} // namespace kalvix
