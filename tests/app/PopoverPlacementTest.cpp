// Where the popover goes: against the panel holding the item, inside the free area, for clicks on the
// item and for "Show Calendar" from a menu; and a held outside click that closes it.
#include "app/PopoverPlacement.h"
#include "app/PopoverWindow.h"
#include "tests/support/TestApplication.h"

#include <QApplication>
#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

#include <limits>
#include <ostream>

using namespace kalvix;

void PrintTo(const QPoint& p, std::ostream* os)
{
    *os << '(' << p.x() << ", " << p.y() << ')';
}

namespace {
const QRect kScreen(0, 0, 1280, 800);
const QRect kTopPanelFree(0, 29, 1280, 771);   // a 29 px panel at the top
const QRect kBottomPanelFree(0, 0, 1280, 752); // a 48 px panel at the bottom
const QRect kLeftPanelFree(64, 0, 1216, 800);  // a 64 px dock on the left
const QSize kPopover(640, 500);
constexpr int kMin = std::numeric_limits<int>::min();
constexpr int kMax = std::numeric_limits<int>::max();
} // namespace

struct PlacementRow {
    const char* name;
    QRect item;
    QRect free;
    QPoint topLeft;
};

class Placement : public ::testing::TestWithParam<PlacementRow> {};

TEST_P(Placement, againstThePanelEdgeCentredOnTheItemInsideTheFreeArea)
{
    const PlacementRow& row = GetParam();
    EXPECT_EQ(popoverPosition(row.item, kPopover, kScreen, row.free), row.topLeft);
}

INSTANTIATE_TEST_SUITE_P(
    Items,
    Placement,
    ::testing::Values(
        // A tray dock's rectangle: just below the panel, not below the pointer.
        PlacementRow{"dock_in_top_panel", QRect(600, 3, 180, 22), kTopPanelFree, QPoint(370, 33)},
        // A host's click point halfway down the panel: still below the panel, never over it.
        PlacementRow{"click_point_in_top_panel", QRect(640, 14, 1, 1), kTopPanelFree, QPoint(320, 33)},
        PlacementRow{"right_end_kept_on_screen", QRect(1270, 14, 1, 1), kTopPanelFree, QPoint(640, 33)},
        PlacementRow{"left_end_kept_on_screen", QRect(5, 14, 1, 1), kTopPanelFree, QPoint(0, 33)},
        PlacementRow{"bottom_panel_opens_above", QRect(640, 770, 1, 1), kBottomPanelFree, QPoint(320, 248)},
        PlacementRow{"left_dock_opens_beside", QRect(10, 400, 40, 40), kLeftPanelFree, QPoint(68, 170)},
        // No panel reserves room (no window manager tells): halves of the screen decide.
        PlacementRow{"no_reservation_upper_half", QRect(640, 14, 1, 1), kScreen, QPoint(320, 19)},
        PlacementRow{"no_reservation_lower_half", QRect(640, 790, 1, 1), kScreen, QPoint(320, 286)},
        // Out-of-range anchors from another program: clamped, never an overflow.
        PlacementRow{"extreme_low", QRect(QPoint(kMin, kMin), QSize(1, 1)), kTopPanelFree, QPoint(0, 33)},
        PlacementRow{"extreme_high", QRect(QPoint(kMax - 1, kMax - 1), QSize(1, 1)), kTopPanelFree, QPoint(640, 296)}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(Placement, aPopoverLargerThanItsRoomStartsAtTheRoomsTopLeftNeverOverThePanel)
{
    EXPECT_EQ(popoverPosition(QRect(640, 14, 1, 1), QSize(2000, 900), kScreen, kTopPanelFree), QPoint(0, 33));
    // Above a bottom panel: it may reach the top of the screen, never down onto the panel.
    EXPECT_EQ(popoverPosition(QRect(640, 770, 1, 1), QSize(640, 900), kScreen, kBottomPanelFree), QPoint(320, 0));
}

struct RoomRow {
    const char* name;
    QRect screen;
    QRect item;
    QRect free;
    QRect room;
};

class Room : public ::testing::TestWithParam<RoomRow> {};

TEST_P(Room, beyondThePanelAndItsGapInsideTheFreeArea)
{
    const RoomRow& row = GetParam();
    EXPECT_EQ(popoverRoom(row.item, row.screen, row.free), row.room);
}

INSTANTIATE_TEST_SUITE_P(
    Screens,
    Room,
    ::testing::Values(
        RoomRow{"below_a_top_panel_1280x800", kScreen, QRect(600, 3, 180, 22), kTopPanelFree, QRect(0, 33, 1280, 767)},
        RoomRow{"above_a_bottom_panel_1366x768",
                QRect(0, 0, 1366, 768),
                QRect(1300, 743, 40, 22),
                QRect(0, 0, 1366, 740),
                QRect(0, 0, 1366, 736)},
        // A click point inside the panel, not the whole item: the panel's edge still bounds the room.
        RoomRow{"click_point_in_a_bottom_panel",
                QRect(0, 0, 1366, 768),
                QRect(1300, 760, 1, 1),
                QRect(0, 0, 1366, 740),
                QRect(0, 0, 1366, 736)},
        RoomRow{"beside_a_left_dock", kScreen, QRect(10, 400, 40, 40), kLeftPanelFree, QRect(68, 0, 1212, 800)},
        RoomRow{
            "beside_a_right_dock", kScreen, QRect(1240, 400, 40, 40), QRect(0, 0, 1216, 800), QRect(0, 0, 1212, 800)},
        // The second of two monitors, at scale 2 (2732x1536 device pixels), its own panel at its top.
        RoomRow{"second_monitor_at_scale_2",
                QRect(1280, 0, 1366, 768),
                QRect(2560, 3, 40, 22),
                QRect(1280, 28, 1366, 740),
                QRect(1280, 32, 1366, 736)},
        // A monitor above another, its panel at its bottom edge, in the middle of the whole desktop.
        RoomRow{"upper_monitor_bottom_panel",
                QRect(0, -800, 1280, 800),
                QRect(600, -26, 40, 22),
                QRect(0, -800, 1280, 771),
                QRect(0, -800, 1280, 767)},
        // No panel reserves room: the screen's half says which side, the item is still never covered.
        RoomRow{"no_reservation_lower_half", kScreen, QRect(640, 780, 40, 20), kScreen, QRect(0, 0, 1280, 776)}),
    [](const auto& row) { return std::string(row.param.name); });

struct MenuRow {
    const char* name;
    QPoint pointer;
    QRect free;
    QPoint topLeft;
};

class MenuPlacement : public ::testing::TestWithParam<MenuRow> {};

TEST_P(MenuPlacement, fromAMenuAgainstTheNearestPanelEdgeNotAtThePointer)
{
    const MenuRow& row = GetParam();
    const QRect anchor = menuAnchor(row.pointer, kScreen, row.free);
    EXPECT_EQ(popoverPosition(anchor, kPopover, kScreen, row.free), row.topLeft);
}

INSTANTIATE_TEST_SUITE_P(Menus,
                         MenuPlacement,
                         ::testing::Values(
                             // GNOME's menu item is 36 px below the panel: the popover still meets the panel edge.
                             MenuRow{"menu_below_top_panel", QPoint(900, 65), kTopPanelFree, QPoint(580, 33)},
                             MenuRow{"menu_above_bottom_panel", QPoint(900, 700), kBottomPanelFree, QPoint(580, 248)},
                             MenuRow{"menu_beside_left_dock", QPoint(120, 300), kLeftPanelFree, QPoint(68, 50)},
                             // Panels at top and bottom: the one the pointer is nearer to.
                             MenuRow{
                                 "nearer_of_two_panels", QPoint(400, 600), QRect(0, 29, 1280, 723), QPoint(80, 248)},
                             // No panel known: the nearer screen edge.
                             MenuRow{"no_panel_known_top", QPoint(900, 65), kScreen, QPoint(580, 5)},
                             MenuRow{"no_panel_known_bottom", QPoint(900, 700), kScreen, QPoint(580, 295)}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(PopoverWindow, anOutsidePressClosesOnlyWithItsReleaseHoweverLongItIsHeld)
{
    test::testApplication<QApplication>();
    PopoverWindow popover;
    popover.setContent(new QLabel(QStringLiteral("content")));
    popover.showAt(QRect(100, 10, 1, 1));
    ASSERT_TRUE(popover.isShown());

    // The press lands outside (on the status item): the popover stays and keeps the pointer, so the
    // item never sees the press, nor the release that follows.
    const QPoint outside(-20, -20);
    QTest::mousePress(&popover, Qt::LeftButton, {}, outside);
    EXPECT_TRUE(popover.isShown());
    QTest::mouseRelease(&popover, Qt::LeftButton, {}, outside);
    EXPECT_FALSE(popover.isShown());
    // Closed by a click that stayed with the popup: the next click on the item opens it at once.
    EXPECT_FALSE(popover.justClosedByOutsideClick());

    // A click inside is the content's, and closes nothing.
    popover.showAt(QRect(100, 10, 1, 1));
    QTest::mouseClick(&popover, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(popover.isShown());
    QTest::keyClick(&popover, Qt::Key_Escape);
    EXPECT_FALSE(popover.isShown());
}
