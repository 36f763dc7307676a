#pragma once
// One section of the settings form: a header, the rounded group of its rows, and an optional footer, with
// the space that sets it apart from the section above included at its top. So a section scrolled to the
// top of the window shows as the first section does at the form's start.
#include <QWidget>

namespace kalvix::ui {
class TextLabel;
}

namespace kalvix::settings {

class FormGroup;

class FormSection : public QWidget {
    Q_OBJECT
public:
    // No footer when `footer` is empty.
    FormSection(const QString& header, const QString& footer, QWidget* parent = nullptr);

    FormGroup* group() const { return m_group; }
    ui::TextLabel* header() const { return m_header; }
    ui::TextLabel* footer() const { return m_footer; }

    // The section's controls in the order Tab reaches them.
    virtual QList<QWidget*> focusChain() const = 0;

protected:
    void resizeEvent(QResizeEvent* event) override;

Q_SIGNALS:
    // Rows came or went: the window puts its Tab order right again.
    void focusChainChanged();

private:
    ui::TextLabel* m_header;
    FormGroup* m_group;
    ui::TextLabel* m_footer = nullptr;
};

} // namespace kalvix::settings
