#include "prefs/Prefs.h"
#include "tests/support/MemoryPreferencesStore.h"
#include "tests/support/TestApplication.h"
#include "tests/support/TestContext.h"
#include "tests/support/TestEnv.h"
#include "ui/ClockFollower.h"
#include "ui/ClockTip.h"
#include "ui/ColorRoles.h"
#include "ui/PlainButton.h"
#include "ui/PreferenceBinding.h"
#include "ui/Shapes.h"
#include "ui/Symbols.h"
#include "ui/TextLabel.h"
#include "ui/TextStyles.h"

#include <QApplication>
#include <QIcon>
#include <QPainter>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

using namespace kalvix;
using namespace kalvix::ui;

namespace {

QApplication& app()
{
    return test::testApplication<QApplication>();
}

// A widget painted into an image at a device pixel ratio, on a transparent background.
QImage grab(QWidget& widget, qreal dpr)
{
    QImage image(widget.size() * dpr, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::transparent);
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

bool sameRgb(QColor a, QColor b, int tolerance = 2)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

} // namespace

TEST(ColorRoles, labelRolesAreTheTextColourAtFallingStrengthInBothThemes)
{
    for (const QPalette& palette : {lightPalette(), darkPalette()}) {
        const QColor text = palette.color(QPalette::WindowText);
        const qreal secondary = roleColor(ColorRole::secondary, palette).alphaF();
        const qreal tertiary = roleColor(ColorRole::tertiary, palette).alphaF();
        const qreal quaternary = roleColor(ColorRole::quaternary, palette).alphaF();
        EXPECT_TRUE(sameRgb(roleColor(ColorRole::secondary, palette), text));
        EXPECT_GT(1.0, secondary);
        EXPECT_GT(secondary, tertiary);
        EXPECT_GT(tertiary, quaternary);
        EXPECT_GT(quaternary, 0.0);
        EXPECT_EQ(roleColor(ColorRole::windowBackground, palette), palette.color(QPalette::Window));
    }
    EXPECT_FALSE(isDark(lightPalette()));
    EXPECT_TRUE(isDark(darkPalette()));
    // Thin grey text fades faster on dark backgrounds: the dark theme's secondary is a little stronger.
    EXPECT_GT(roleColor(ColorRole::secondary, darkPalette()).alphaF(),
              roleColor(ColorRole::secondary, lightPalette()).alphaF());
    // Captions read at 5:1 on the window, on Kalvix's palettes as they are and on a platform palette whose
    // text and window are close, where secondary is strengthened (up to the text itself and no further).
    QPalette greyOnGrey = lightPalette();
    greyOnGrey.setColor(QPalette::Window, QColor(200, 200, 200));
    greyOnGrey.setColor(QPalette::WindowText, QColor(40, 40, 40));
    QPalette tooClose = lightPalette();
    tooClose.setColor(QPalette::Window, QColor(150, 150, 150));
    tooClose.setColor(QPalette::WindowText, QColor(60, 60, 60));
    for (const QPalette& palette : {lightPalette(), darkPalette(), greyOnGrey}) {
        const QColor window = palette.color(QPalette::Window);
        QImage pixel(1, 1, QImage::Format_ARGB32_Premultiplied);
        pixel.fill(window);
        QPainter(&pixel).fillRect(pixel.rect(), roleColor(ColorRole::secondary, palette));
        EXPECT_GE(contrastRatio(pixel.pixelColor(0, 0), window), 4.9) << window.name().toStdString();
    }
    EXPECT_NEAR(roleColor(ColorRole::secondary, lightPalette()).alphaF(), 0.65, 0.01) << "no stronger than needed";
    EXPECT_NEAR(roleColor(ColorRole::secondary, tooClose).alphaF(), 1.0, 0.01);
    EXPECT_NEAR(contrastRatio(Qt::black, Qt::white), 21.0, 0.01);
    EXPECT_NEAR(Ink::role(ColorRole::primary, 0.06).resolve(lightPalette()).alphaF(), 0.06, 0.01);
    EXPECT_EQ(Ink::custom(QColor(1, 2, 3)).resolve(darkPalette()), QColor(1, 2, 3));
}

TEST(Shapes, aCircleFillsItsSquareAndAStrokeStaysInsideTheEdge)
{
    app();
    ShapeView dot(ShapeView::Kind::circle, QSize(5, 5), Ink::custom(QColor(200, 30, 40)));
    for (qreal dpr : {1.0, 1.25, 2.0}) {
        const QImage image = grab(dot, dpr);
        EXPECT_EQ(image.width(), qRound(5 * dpr));
        const QColor centre = image.pixelColor(image.width() / 2, image.height() / 2);
        EXPECT_TRUE(sameRgb(centre, QColor(200, 30, 40))) << dpr;
        EXPECT_LT(image.pixelColor(0, 0).alpha(), 90) << "corners of a circle stay clear at scale " << dpr;
    }

    // A 1.5-wide ring inside a 34 square in the middle of a larger image: nothing drawn outside the square.
    QImage image(60, 60, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        strokeCircleInside(painter, QRectF(13, 13, 34, 34), Qt::blue, 1.5);
    }
    int outside = 0, onEdge = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 60; ++x) {
            const bool inSquare = x >= 13 && x < 47 && y >= 13 && y < 47;
            if (!inSquare && image.pixelColor(x, y).alpha() > 0)
                ++outside;
        }
    onEdge = image.pixelColor(13, 30).alpha() + image.pixelColor(46, 30).alpha();
    EXPECT_EQ(outside, 0);
    EXPECT_GT(onEdge, 200) << "the ring reaches the square's edge";
}

TEST(Shapes, continuousCornersMeetACircularCornerAtTheDiagonalAndEaseIntoTheEdges)
{
    const QRectF rect(0, 0, 100, 42);
    const qreal radius = 10;
    const QPainterPath path = continuousRoundedRect(rect, radius);
    EXPECT_EQ(path.boundingRect(), rect);
    // On the corner's diagonal the curve is where a circular corner of the same radius is.
    const qreal circular = radius - radius / std::sqrt(2.0);
    EXPECT_FALSE(path.contains(QPointF(circular - 0.4, circular - 0.4)));
    EXPECT_TRUE(path.contains(QPointF(circular + 0.4, circular + 0.4)));
    // It leaves the edge further from the corner than a circular corner does: just short of the radius a
    // circular corner already hugs the edge, the continuous one is still curving away from it.
    const qreal circularThere = radius - std::sqrt(radius * radius - 1);
    EXPECT_LT(circularThere, 0.1);
    EXPECT_FALSE(path.contains(QPointF(radius - 1, 0.2)));
    // An oversized radius is held to what the rectangle allows: still a closed shape inside it.
    EXPECT_EQ(continuousRoundedRect(QRectF(0, 0, 4, 42), 10).boundingRect(), QRectF(0, 0, 4, 42));
}

TEST(Symbols, everySymbolDrawsInItsColourAtTheDeviceScaleWithOrWithoutATheme)
{
    app();
    for (bool own : {true, false}) {
        setPreferOwnSymbols(own);
        for (const QString& name : symbolNames()) {
            const QImage image = symbolImage(name, 16, QColor(10, 120, 200), 2.0);
            ASSERT_FALSE(image.isNull()) << name.toStdString();
            EXPECT_EQ(image.width(), 32) << name.toStdString();
            EXPECT_DOUBLE_EQ(image.devicePixelRatio(), 2.0);
            int drawn = 0, offColour = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x) {
                    const QColor c = image.pixelColor(x, y);
                    if (c.alpha() < 128)
                        continue;
                    ++drawn;
                    offColour += sameRgb(c, QColor(10, 120, 200), 3) ? 0 : 1;
                }
            EXPECT_GT(drawn, 8) << name.toStdString() << (own ? " (own)" : " (theme)");
            EXPECT_EQ(offColour, 0) << name.toStdString();
        }
    }
    setPreferOwnSymbols(true);
    EXPECT_TRUE(symbolImage(QStringLiteral("no.such.symbol"), 16, Qt::black, 1).isNull());
    // The setting sun keeps its own orange in multicolour rendering, and only there.
    const auto orangePixels = [](const QImage& image) {
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                n += c.alpha() > 200 && c.red() > 230 && c.green() > 120 && c.green() < 180 && c.blue() < 40;
            }
        return n;
    };
    EXPECT_GT(orangePixels(symbolImage(QStringLiteral("sunset.fill"), 16, Qt::gray, 2, true)), 20);
    EXPECT_EQ(orangePixels(symbolImage(QStringLiteral("sunset.fill"), 16, Qt::gray, 2, false)), 0);
}

TEST(TextStyles, stylesFollowTheDesktopFontAndKeepTheirProportions)
{
    app();
    const QFont original = QApplication::font();
    QFont ui = original;
    ui.setPixelSize(13);
    QApplication::setFont(ui);
    EXPECT_EQ(textStylePixelSize(TextStyle::title2), 17);
    EXPECT_EQ(textStylePixelSize(TextStyle::caption), 10);
    EXPECT_EQ(textStyleFont(TextStyle::callout, QFont::Bold).weight(), QFont::Bold);
    ui.setPixelSize(16);
    QApplication::setFont(ui);
    EXPECT_EQ(textStylePixelSize(TextStyle::body), 16);
    EXPECT_EQ(textStylePixelSize(TextStyle::title2), 21);
    ui.setPixelSize(40); // held to a size the fixed frames still hold
    QApplication::setFont(ui);
    EXPECT_EQ(textStylePixelSize(TextStyle::body), 16);
    EXPECT_EQ(systemFont(64, QFont::Bold).pixelSize(), 64);
    QApplication::setFont(original);
}

TEST(PreferenceBinding, readsWithItsFallbackWritesAtOnceAndFollowsEveryWriter)
{
    test::MemoryPreferencesStore prefs;
    Binding tip(prefs, Pref::didDismissClockTip);
    Binding city(prefs, Pref::homeCity);
    Binding style(prefs, Pref::timeStyle);
    QSignalSpy tipChanged(&tip, &PreferenceBinding::changed);
    QSignalSpy cityChanged(&city, &PreferenceBinding::changed);
    EXPECT_FALSE(tip.value());
    EXPECT_EQ(city.value(), QStringLiteral("London"));

    tip.set(true);
    EXPECT_TRUE(prefs.boolValue(QStringLiteral("didDismissClockTip"), false));
    EXPECT_EQ(tipChanged.count(), 1);
    tip.set(true); // the same value again: nothing new to show
    EXPECT_EQ(tipChanged.count(), 1);

    // Another writer (another view, or the file edited by hand).
    prefs.simulateExternalEdit(
        {{QStringLiteral("homeCity"), QStringLiteral("Tokyo")}, {QStringLiteral("timeStyle"), QStringLiteral("7")}});
    EXPECT_EQ(city.value(), QStringLiteral("Tokyo"));
    EXPECT_EQ(cityChanged.count(), 1);
    EXPECT_EQ(static_cast<int>(style.value()), 7) << "a stored value outside the options is read as it is";
    EXPECT_FALSE(tip.value()) << "the edit removed the key: the fallback again";
    EXPECT_EQ(tipChanged.count(), 2);
}

TEST(ClockFollower, aViewHearsTheClockOnlyWhileItIsOnScreenAndCatchesUpWhenShown)
{
    app();
    test::TestContext fakes(Instant{1000});
    QWidget window;
    auto* view = new QWidget(&window);
    std::vector<double> heard;
    auto* follower = new ClockFollower(view, fakes.clock, [&](Instant now) { heard.push_back(now.seconds); });
    fakes.advance(1);
    EXPECT_TRUE(heard.empty()) << "not shown yet";
    EXPECT_FALSE(follower->isFollowing());

    window.show();
    ASSERT_EQ(heard.size(), 1u) << "caught up when shown";
    EXPECT_DOUBLE_EQ(heard.back(), 1001);
    fakes.advance(1);
    EXPECT_EQ(heard.size(), 2u);

    window.hide();
    fakes.advance(1);
    fakes.advance(1);
    EXPECT_EQ(heard.size(), 2u) << "a hidden view costs nothing per tick";
    window.show();
    EXPECT_DOUBLE_EQ(heard.back(), 1004);
}

TEST(TextLabel, elidesToItsWidthAndKeepsClockDigitsInFixedCells)
{
    app();
    TextLabel title(QStringLiteral("A very long event title that cannot fit"),
                    systemFont(15, QFont::DemiBold),
                    Ink::role(ColorRole::primary));
    title.resize(80, title.sizeHint().height());
    EXPECT_TRUE(title.isElided());
    EXPECT_LT(title.minimumSizeHint().width(), 40);
    title.resize(title.sizeHint());
    EXPECT_FALSE(title.isElided());

    TextLabel clock(QStringLiteral("11:11:11"), systemFont(64, QFont::Bold), Ink::role(ColorRole::primary));
    clock.setFit(TextLabel::Fit::tabularDigits);
    const int ones = clock.sizeHint().width();
    clock.setText(QStringLiteral("00:00:00"));
    EXPECT_EQ(clock.sizeHint().width(), ones);

    // Margins count in the size asked for, so padding set on the label is not eaten by its text.
    const QSize bare = title.sizeHint();
    title.setContentsMargins(3, 4, 5, 6);
    EXPECT_EQ(title.sizeHint(), bare + QSize(8, 10));
}

TEST(PlainButton, clicksByMouseOrKeyboardAndNamesItselfForScreenReaders)
{
    app();
    QWidget window;
    auto* next = new PlainButton(QStringLiteral("chevron.right"),
                                 textStyleFont(TextStyle::body, QFont::DemiBold),
                                 Ink::role(ColorRole::primary),
                                 QStringLiteral("Next month"),
                                 &window);
    auto* link = new PlainButton(QStringLiteral("Edit"), systemFont(14), Ink::role(ColorRole::accent), &window);
    link->move(0, 40);
    window.show();
    QSignalSpy clicks(next, &QAbstractButton::clicked);
    QTest::mouseClick(next, Qt::LeftButton);
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_FALSE(next->hasFocus()) << "a click leaves no focus ring behind";
    next->setFocus(Qt::TabFocusReason);
    QTest::keyClick(next, Qt::Key_Return);
    QTest::keyClick(next, Qt::Key_Space);
    EXPECT_EQ(clicks.count(), 3);
    EXPECT_EQ(next->accessibleName(), QStringLiteral("Next month"));
    EXPECT_EQ(link->text(), QStringLiteral("Edit"));
    EXPECT_GE(next->sizeHint().width(), 10);
}

TEST(ClockTip, namesTheWayOfTheDesktopInUseAndStaysGeneralElsewhere)
{
    EXPECT_TRUE(hideSystemClockAdvice(QStringLiteral("ubuntu:GNOME")).contains(QStringLiteral("Tweaks")));
    EXPECT_TRUE(hideSystemClockAdvice(QStringLiteral("KDE")).contains(QStringLiteral("Digital Clock")));
    EXPECT_TRUE(hideSystemClockAdvice(QStringLiteral("XFCE")).contains(QStringLiteral("Remove.")));
    EXPECT_TRUE(hideSystemClockAdvice(QStringLiteral("MATE")).contains(QStringLiteral("Remove From Panel")));
    const QString general = hideSystemClockAdvice(QString());
    EXPECT_EQ(hideSystemClockAdvice(QStringLiteral("sway")), general);
    EXPECT_FALSE(general.contains(QStringLiteral("System Settings"))) << "no other platform's settings";
    test::ScopedEnv desktop("XDG_CURRENT_DESKTOP", "X-Unknown:xfce");
    EXPECT_EQ(clockTipText(),
              QStringLiteral("Kalvix is your clock now. Remove the system clock: right-click the "
                             "panel\u2019s clock \u2192 Remove."));
    EXPECT_TRUE(generalFooterText().startsWith(QStringLiteral("Home city drives the sunrise and sunset times. Tip: ")));
}

TEST(Symbols, removeMoreAndCloseStayKalvixsOwnUnderARealIconThemeWhileOthersFollowIt)
{
    app();
    const QString previousTheme = QIcon::themeName();
    const QStringList previousPaths = QIcon::themeSearchPaths();
    // Where a desktop's platform theme looks for icon themes (the offscreen platform looks nowhere).
    QIcon::setThemeSearchPaths(previousPaths + QStandardPaths::locateAll(QStandardPaths::GenericDataLocation,
                                                                         QStringLiteral("icons"),
                                                                         QStandardPaths::LocateDirectory));
    QIcon::setThemeName(QStringLiteral("Adwaita"));
    // The theme is really there and has its own, weaker, icons for these buttons.
    ASSERT_TRUE(QIcon::hasThemeIcon(QStringLiteral("list-remove-symbolic"))) << "Adwaita is not installed";
    ASSERT_TRUE(QIcon::hasThemeIcon(QStringLiteral("view-more-symbolic")));
    ASSERT_TRUE(QIcon::hasThemeIcon(QStringLiteral("window-close-symbolic")));
    ASSERT_TRUE(QIcon::hasThemeIcon(QStringLiteral("go-previous-symbolic")));
    const auto drawn = [](const QString& name, bool own) {
        setPreferOwnSymbols(own);
        return symbolImage(name, 16, QColor(10, 120, 200), 2.0);
    };
    for (const char* name : {"minus.circle.fill", "ellipsis.circle", "xmark.circle.fill"}) {
        const QString symbol = QString::fromLatin1(name);
        setPreferOwnSymbols(false);
        EXPECT_EQ(symbolSource(symbol), SymbolSource::own) << name;
        EXPECT_EQ(drawn(symbol, false), drawn(symbol, true)) << name << " is drawn from the theme";
    }
    // Symbols whose theme icon means the same thing still come from the theme.
    setPreferOwnSymbols(false);
    EXPECT_EQ(symbolSource(QStringLiteral("chevron.left")), SymbolSource::theme);
    EXPECT_NE(drawn(QStringLiteral("chevron.left"), false), drawn(QStringLiteral("chevron.left"), true));
    setPreferOwnSymbols(true);
    QIcon::setThemeName(previousTheme);
    QIcon::setThemeSearchPaths(previousPaths);
}

TEST(Symbols, drawnAtTheResolutionOfTheImageAWidgetIsRenderedInto)
{
    app();
    setPreferOwnSymbols(true);
    struct SymbolWidget final : QWidget {
        void paintEvent(QPaintEvent*) override
        {
            QPainter painter(this);
            paintSymbol(painter, QRectF(0, 0, 16, 16), QStringLiteral("chevron.left"), Qt::black);
        }
    } widget;
    widget.resize(16, 16);
    // At scale 2 the stroke's edge falls between device pixels: partly covered pixels show there. A symbol
    // drawn at scale 1 and enlarged would show only whole 2x2 blocks.
    const QImage image = grab(widget, 2.0);
    int halfCovered2x2Mismatch = 0;
    for (int y = 0; y + 1 < image.height(); y += 2)
        for (int x = 0; x + 1 < image.width(); x += 2) {
            const int a = image.pixelColor(x, y).alpha();
            if (a != image.pixelColor(x + 1, y).alpha() || a != image.pixelColor(x, y + 1).alpha())
                ++halfCovered2x2Mismatch;
        }
    EXPECT_GT(halfCovered2x2Mismatch, 10);
}
