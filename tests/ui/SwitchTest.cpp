#include "ui/Switch.h"
#include "tests/support/TestApplication.h"
#include "ui/ColorRoles.h"

#include <QAccessible>
#include <QApplication>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace kalvix;
using namespace kalvix::ui;

namespace {

QImage grab(QWidget& widget, qreal dpr)
{
    QImage image(widget.size() * dpr, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::transparent);
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

QColor at(const QImage& image, QPointF logical)
{
    return image.pixelColor((logical * image.devicePixelRatio()).toPoint());
}

bool near(QColor a, QColor b)
{
    return std::abs(a.red() - b.red()) <= 6 && std::abs(a.green() - b.green()) <= 6 &&
           std::abs(a.blue() - b.blue()) <= 6 && a.alpha() > 240;
}

} // namespace

TEST(Switch, theKnobSitsAtTheEndThatIsOnAndTheTrackTakesTheAccentWhenOn)
{
    test::testApplication<QApplication>();
    Switch toggle(QStringLiteral("Show seconds"));
    toggle.resize(toggle.sizeHint());
    for (const QPalette& palette : {lightPalette(), darkPalette()}) {
        toggle.setPalette(palette);
        for (qreal dpr : {1.0, 1.25, 2.0}) {
            toggle.setChecked(true);
            QImage image = grab(toggle, dpr);
            const QRectF track = toggle.trackRect();
            EXPECT_GT(toggle.knobRect().center().x(), track.center().x());
            EXPECT_TRUE(near(at(image, toggle.knobRect().center()), QColor(255, 255, 255))) << dpr;
            EXPECT_TRUE(
                near(at(image, QPointF(track.left() + 5, track.center().y())), palette.color(QPalette::Highlight)))
                << dpr;

            toggle.setChecked(false);
            image = grab(toggle, dpr);
            EXPECT_LT(toggle.knobRect().center().x(), track.center().x());
            EXPECT_TRUE(near(at(image, toggle.knobRect().center()), QColor(255, 255, 255))) << dpr;
            const QColor off = at(image, QPointF(track.right() - 5, track.center().y()));
            EXPECT_FALSE(near(off, palette.color(QPalette::Highlight))) << dpr;
            EXPECT_GT(off.alpha(), 0) << "the off track is drawn too";
        }
    }
}

TEST(Switch, isACheckBoxToScreenReadersAndTogglesWithSpaceAndClick)
{
    test::testApplication<QApplication>();
    Switch toggle(QStringLiteral("Launch at login"));
    toggle.resize(toggle.sizeHint());
    QSignalSpy clicks(&toggle, &Switch::clicked);
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&toggle);
    EXPECT_EQ(accessible->role(), QAccessible::CheckBox);
    EXPECT_EQ(accessible->text(QAccessible::Name), QStringLiteral("Launch at login"));

    QTest::keyClick(&toggle, Qt::Key_Space);
    EXPECT_TRUE(toggle.isChecked());
    EXPECT_TRUE(accessible->state().checked);
    // Anywhere on it, not only on the knob.
    QTest::mouseClick(&toggle, Qt::LeftButton, {}, QPoint(1, 1));
    EXPECT_FALSE(toggle.isChecked());
    EXPECT_EQ(clicks.count(), 2);
    EXPECT_EQ(toggle.focusPolicy(), Qt::TabFocus) << "a click leaves no focus ring behind";
}
