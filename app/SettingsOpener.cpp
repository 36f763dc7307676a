#include "app/SettingsOpener.h"

#include "context/SettingsState.h"

#include <QGuiApplication>
#include <QKeySequence>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QVBoxLayout>
#include <QWidget>

namespace kalvix {
namespace {

std::unique_ptr<QWidget> makeWindow(const SettingsOpener::MakeContent& makeContent)
{
    auto window = std::make_unique<QWidget>(nullptr,
                                            Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                                Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint);
    window->setWindowTitle(QStringLiteral("Kalvix Settings"));
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    // Kalvix lives in the status area: closing its only window must not end it.
    window->setAttribute(Qt::WA_QuitOnClose, false);
    // Closed from the keyboard as a dialog is: Escape, or Ctrl+W as a document window.
    for (const QKeySequence& keys : {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
        auto* shortcut = new QShortcut(keys, window.get());
        QObject::connect(shortcut, &QShortcut::activated, window.get(), &QWidget::close);
    }
    auto* layout = new QVBoxLayout(window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(makeContent(window.get()));
    window->adjustSize();
    window->setFixedSize(window->size());
    // The content is centred: the frame the window manager adds is not known before the first showing.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        window->setGeometry(
            QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, window->size(), screen->availableGeometry()));
    return window;
}

} // namespace

SettingsOpener::SettingsOpener(SettingsState& state, MakeContent makeContent)
    : m_state(state)
    , m_makeContent(std::move(makeContent))
{
}

SettingsOpener::~SettingsOpener() = default;

void SettingsOpener::open(SettingsTab tab)
{
    m_state.setTab(tab);
    if (!m_window)
        m_window = makeWindow(m_makeContent);
    m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

} // namespace kalvix
