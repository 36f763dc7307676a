// Sizes the status item asks for and the screen areas it works with, at scale 1 and 2, and the host
// coordinates it accepts.
#include "display/DesktopArea.h"
#include "statusitem/StatusItem.h"
#include "statusitem/xembed/XEmbedStatusItem.h"
#include "tests/support/TestApplication.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

#include <limits>

using namespace kalvix;

struct HintRow {
    const char* name;
    QSizeF logical;
    qreal scale;
    QSize device;
};

class DockHints : public ::testing::TestWithParam<HintRow> {};

TEST_P(DockHints, theTextsSizeInDevicePixelsAsSizeMinimumMaximumAndBase)
{
    const HintRow& row = GetParam();
    const QSize device = XEmbedStatusItem::deviceSize(row.logical, row.scale);
    EXPECT_EQ(device, row.device);
    const auto hints = XEmbedStatusItem::sizeHints(device);
    // Flags: program size, minimum, maximum and base size; nothing the tray could read as resizable.
    EXPECT_EQ(hints[0], (1u << 3) | (1u << 4) | (1u << 5) | (1u << 8));
    for (int at : {3, 5, 7, 15})
        EXPECT_EQ(hints[at], quint32(row.device.width())) << "width word " << at;
    for (int at : {4, 6, 8, 16})
        EXPECT_EQ(hints[at], quint32(row.device.height())) << "height word " << at;
    EXPECT_EQ(hints[9] | hints[10] | hints[11] | hints[12] | hints[13] | hints[14] | hints[17], 0u);
}

INSTANTIATE_TEST_SUITE_P(Scales,
                         DockHints,
                         ::testing::Values(HintRow{"scale_1", QSizeF(181.4, 22.6), 1.0, QSize(182, 23)},
                                           HintRow{"scale_2", QSizeF(181.4, 22.6), 2.0, QSize(363, 46)},
                                           HintRow{"scale_1_whole_pixels", QSizeF(180, 22), 1.0, QSize(180, 22)},
                                           HintRow{"scale_2_whole_pixels", QSizeF(180, 22), 2.0, QSize(360, 44)},
                                           HintRow{"scale_1_5", QSizeF(180, 22), 1.5, QSize(270, 33)}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(DockHints, anEmptyTextStillAsksForOnePixelNotZero)
{
    const auto hints = XEmbedStatusItem::sizeHints(QSize(0, 0));
    EXPECT_EQ(hints[3], 1u);
    EXPECT_EQ(hints[4], 1u);
}

namespace {
Strut top(quint32 height, quint32 from = 0, quint32 to = 1279)
{
    return Strut{0, 0, height, 0, 0, 0, 0, 0, from, to, 0, 0};
}
Strut bottom(quint32 height, quint32 from = 0, quint32 to = 1279)
{
    return Strut{0, 0, 0, height, 0, 0, 0, 0, 0, 0, from, to};
}
} // namespace

struct StrutRow {
    const char* name;
    QRect screen;
    QSize root;
    QList<Strut> struts;
    QRect free;
};

class Struts : public ::testing::TestWithParam<StrutRow> {};

TEST_P(Struts, panelsReserveTheirEdgeOfTheScreensTheyTouch)
{
    const StrutRow& row = GetParam();
    EXPECT_EQ(areaLeftByStruts(row.screen, row.root, row.struts), row.free);
}

INSTANTIATE_TEST_SUITE_P(
    Panels,
    Struts,
    ::testing::Values(
        StrutRow{"none", QRect(0, 0, 1280, 800), QSize(1280, 800), {}, QRect(0, 0, 1280, 800)},
        StrutRow{"xfce_top_panel", QRect(0, 0, 1280, 800), QSize(1280, 800), {top(29)}, QRect(0, 29, 1280, 771)},
        StrutRow{
            "top_and_bottom", QRect(0, 0, 1280, 800), QSize(1280, 800), {top(24), bottom(48)}, QRect(0, 24, 1280, 728)},
        StrutRow{"left_dock",
                 QRect(0, 0, 1280, 800),
                 QSize(1280, 800),
                 {Strut{64, 0, 0, 0, 0, 799, 0, 0, 0, 0, 0, 0}},
                 QRect(64, 0, 1216, 800)},
        // Two screens side by side: a panel on the left one's top leaves the right one whole.
        StrutRow{"other_screens_panel",
                 QRect(1280, 0, 1920, 1080),
                 QSize(3200, 1080),
                 {top(30, 0, 1279)},
                 QRect(1280, 0, 1920, 1080)},
        StrutRow{"bottom_panel_on_shorter_screen",
                 QRect(0, 0, 1280, 800),
                 QSize(3200, 1080),
                 {bottom(280 + 40, 0, 1279)},
                 QRect(0, 0, 1280, 760)},
        StrutRow{"scale_2_device_pixels",
                 QRect(0, 0, 2560, 1600),
                 QSize(2560, 1600),
                 {top(58, 0, 2559)},
                 QRect(0, 58, 2560, 1542)},
        // A reservation of the whole screen is not believed.
        StrutRow{"claims_everything", QRect(0, 0, 1280, 800), QSize(1280, 800), {top(900)}, QRect(0, 0, 1280, 800)}),
    [](const auto& row) { return std::string(row.param.name); });

struct AnchorRow {
    const char* name;
    int x;
    int y;
    bool onScreen;
    QSize item = QSize(); // the item's largest size, within which a point is taken as inside the item
};

class HostPoints : public ::testing::TestWithParam<AnchorRow> {};

TEST_P(HostPoints, aPointOnAScreenAnchorsAnythingElseMeansNoAnchor)
{
    test::testApplication<QGuiApplication>(); // the offscreen platform's screen, at 0,0
    const AnchorRow& row = GetParam();
    const QRect anchor = StatusItem::anchorAt(row.x, row.y, row.item);
    EXPECT_EQ(!anchor.isNull(), row.onScreen);
    if (row.onScreen) {
        EXPECT_EQ(anchor, QRect(row.x, row.y, 1, 1));
    }
}

constexpr int kMin = std::numeric_limits<int>::min();
constexpr int kMax = std::numeric_limits<int>::max();

INSTANTIATE_TEST_SUITE_P(Coordinates,
                         HostPoints,
                         ::testing::Values(AnchorRow{"on_screen", 300, 10, true},
                                           AnchorRow{"origin_means_unknown", 0, 0, false},
                                           AnchorRow{"smallest_ints", kMin, kMin, false},
                                           AnchorRow{"largest_ints", kMax, kMax, false},
                                           AnchorRow{"mixed_extremes", kMax, kMin, false},
                                           AnchorRow{"negative_off_screen", -5, 10, false},
                                           // waybar reports where in the item the click was.
                                           AnchorRow{"waybar_inside_wide_item", 59, 15, false, QSize(230, 48)},
                                           AnchorRow{"inside_square_item", 11, 11, false, QSize(64, 64)},
                                           AnchorRow{"screen_point_right_of_item", 700, 15, true, QSize(230, 48)},
                                           AnchorRow{"screen_point_below_item", 40, 700, true, QSize(230, 48)}),
                         [](const auto& row) { return std::string(row.param.name); });
