#include "app/SettingsOpener.h"

#include "prefs/SettingsState.h"
#include "settings/SettingsView.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>
#include <QWidget>

namespace kalvix::SettingsOpener {
namespace {

QWidget* g_window = nullptr;

QWidget* makeWindow()
{
    auto* window = new QWidget(nullptr,
                               Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                                   Qt::WindowMinimizeButtonHint);
    window->setWindowTitle(QStringLiteral("Kalvix Settings"));
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    // Kalvix lives in the status area: closing its only window must not end it.
    window->setAttribute(Qt::WA_QuitOnClose, false);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new SettingsView(SettingsState::shared(), window));
    window->setFixedSize(SettingsView::kWidth, SettingsView::kHeight);
    // The content is centred: the frame the window manager adds is not known before the first showing.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        window->setGeometry(
            QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, window->size(), screen->availableGeometry()));
    return window;
}

} // namespace

void open(SettingsTab tab)
{
    SettingsState::shared().setTab(tab);
    if (!g_window)
        g_window = makeWindow();
    g_window->setWindowState(g_window->windowState() & ~Qt::WindowMinimized);
    g_window->show();
    g_window->raise();
    g_window->activateWindow();
}

QWidget* window()
{
    return g_window;
}

} // namespace kalvix::SettingsOpener
