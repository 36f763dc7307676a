#pragma once
// What the Settings window's tests share: the application, finding a control as a screen reader does (by
// its accessible name), choosing in a picker with the keyboard, and reading pixels back.
#include "tests/support/QtPrinters.h"
#include "tests/support/TestApplication.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace kalvix::test {

inline QApplication& app()
{
    return testApplication<QApplication>();
}

// The name a screen reader gives a control: the one set for it, else the one Qt derives (a button's text).
inline QString nameOf(QWidget* widget)
{
    if (!widget->accessibleName().isEmpty())
        return widget->accessibleName();
    return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
}

// The one visible control under `root` with this accessible name; fails the test when none or several.
template <typename T> T* control(QWidget* root, const QString& accessibleName)
{
    T* found = nullptr;
    int count = 0;
    for (T* widget : root->findChildren<T*>())
        if (nameOf(widget) == accessibleName && widget->isVisibleTo(root)) {
            found = widget;
            ++count;
        }
    EXPECT_EQ(count, 1) << "controls named " << accessibleName.toStdString();
    return found;
}

// Chooses `text` in a picker as a user does without the pop-up: from the first option, Down until there.
inline void choose(QComboBox* picker, const QString& text)
{
    ASSERT_NE(picker->findText(text), -1) << text.toStdString();
    QTest::keyClick(picker, Qt::Key_Home);
    for (int i = 0; i < picker->count() && picker->currentText() != text; ++i)
        QTest::keyClick(picker, Qt::Key_Down);
    ASSERT_EQ(picker->currentText(), text);
}

inline QStringList options(const QComboBox* picker)
{
    QStringList texts;
    for (int i = 0; i < picker->count(); ++i)
        texts << picker->itemText(i);
    return texts;
}

// Lets the layouts place what changed and deletes what went, as the next turn of the event loop would.
inline void settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

inline QImage grab(QWidget& widget, qreal dpr = 2)
{
    QImage image(widget.size() * dpr, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::transparent);
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawWindowBackground | QWidget::DrawChildren);
    return image;
}

// The colour at a logical point of an image drawn at a device pixel ratio.
inline QColor pixelAt(const QImage& image, QPoint logical)
{
    return image.pixelColor(logical * image.devicePixelRatio());
}

inline bool near(QColor a, QColor b, int tolerance = 6)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

} // namespace kalvix::test
