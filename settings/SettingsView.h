#pragma once
// The settings window's content, 480 by 560 points. Until the settings sections exist it shows which
// section was asked for, following the shared SettingsState.
#include <QWidget>

class QLabel;

namespace kalvix {

struct AppContext;

class SettingsView final : public QWidget {
    Q_OBJECT
public:
    // `context` must outlive the view.
    explicit SettingsView(AppContext& context, QWidget* parent = nullptr);

    static constexpr int kWidth = 480;
    static constexpr int kHeight = 560;

    QString sectionTitle() const;

private:
    QLabel* m_section = nullptr;
};

} // namespace kalvix
