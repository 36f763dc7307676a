#pragma once
// The Settings window's content: one form of four sections (General, Menu Bar Clock, World Clocks,
// Countdowns), 480 by 560, scrolling inside.
//
// The form follows the shared SettingsState: each announcement of a section, also of the one already
// asked for, scrolls that section's top to the window's top (an explicit request is honoured even after
// the user scrolled away), with a short animation while the window is on screen and at once while it is
// not. Coming on screen, the form scrolls to the section last asked for. Below the last section the form
// leaves room enough for the section asked for to reach the top, and no more.
//
// Every control acts at once; there is nothing to apply or save.
#include <QWidget>

#include <array>

class QPropertyAnimation;
class QScrollArea;
class QSpacerItem;

namespace kalvix {

struct AppContext;
enum class SettingsTab;

namespace settings {
class FormSection;
class GeneralSection;
} // namespace settings

class SettingsView final : public QWidget {
    Q_OBJECT
public:
    // `context` must outlive the view.
    explicit SettingsView(AppContext& context, QWidget* parent = nullptr);
    ~SettingsView() override;

    static constexpr int kWidth = 480;
    static constexpr int kHeight = 560;

    settings::FormSection* section(SettingsTab tab) const;
    // The last section whose top is at or above the window's top: the one the user is reading.
    SettingsTab sectionAtTop() const;
    QScrollArea* scrollArea() const { return m_scroll; }

    // Ends a running scroll at its target at once (for pictures, and for tests that do not wait).
    void finishScrolling();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void scrollTo(SettingsTab tab);
    void settleLayout();
    void updateTrailingSpace();
    void orderTabs();

    AppContext& m_context;
    QScrollArea* m_scroll;
    QWidget* m_form;
    QSpacerItem* m_trailingSpace;
    settings::GeneralSection* m_general;
    std::array<settings::FormSection*, 4> m_sections{};
    QPropertyAnimation* m_scrolling;
    bool m_placingSpace = false;
};

} // namespace kalvix
