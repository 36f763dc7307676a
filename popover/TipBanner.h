#pragma once
// The one-time advice to hide the desktop's own clock, on a faint rounded card with a bulb and a dismiss
// button. Dismissing it stores didDismissClockTip and hides the banner at once and for good: it stays
// hidden across restarts, and nothing sets the preference back. The banner also hides when another
// writer (the preferences file) sets the key.
#include <QWidget>

namespace kalvix {

class PreferencesStore;
namespace ui {
template <typename T> class Binding;
class PlainButton;
class TextLabel;
} // namespace ui

// The faint rounded card under the tip and the popover's other notices, filling `banner`.
void paintBannerCard(QWidget& banner);

class TipBanner final : public QWidget {
    Q_OBJECT
public:
    explicit TipBanner(PreferencesStore& prefs, QWidget* parent = nullptr);

    bool isDismissed() const;
    ui::PlainButton* dismissButton() const { return m_dismiss; }
    ui::TextLabel* textLabel() const { return m_text; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ui::Binding<bool>* m_dismissed;
    ui::TextLabel* m_text;
    ui::PlainButton* m_dismiss;
};

} // namespace kalvix
