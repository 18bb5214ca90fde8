// The quick apps grid's columns and cells, and how a tile is drawn.
#include "Vude/Desk/QuickAppsLayout.h"

#include <gtest/gtest.h>

namespace {

TEST(QuickAppsLayout, AsManyColumnsOfAtLeastTheMinimumAsTheWidthTakesStretchedEvenly)
{
    const struct {
        double width;
        int count;
        double columnWidth;
        const char* why;
    } rows[] = {
        {0, 1, 0, "nothing to share: still one column"},
        {40, 1, 40, "narrower than one tile: one column, as wide as there is"},
        {56, 1, 56, "exactly one tile"},
        {121, 1, 121, "one point short of two tiles and their gap"},
        {122, 2, 56, "two tiles and the gap"},
        {200, 3, 60, "three, stretched"},
        {240, 3, 220.0 / 3, "the room for a fourth is not there"},
        {254, 4, 56, "four"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        const QuickAppsLayout::Columns columns = QuickAppsLayout::columns(row.width, 56, 10);
        EXPECT_EQ(columns.count, row.count);
        EXPECT_DOUBLE_EQ(columns.width, row.columnWidth);
    }
}

TEST(QuickAppsLayout, TilesFillRowsInOrderTwelvePointsApart)
{
    const QuickAppsLayout layout = QuickAppsLayout::layout(5, 200, 56, 10);
    ASSERT_EQ(layout.cells.size(), 5u);
    EXPECT_EQ(layout.cells[0], (Rect{0, 0, 60, 53}));
    EXPECT_EQ(layout.cells[2], (Rect{140, 0, 60, 53}));
    EXPECT_EQ(layout.cells[3], (Rect{0, 65, 60, 53})) << "the fourth starts the second row";
    EXPECT_EQ(layout.height, 53 + 12 + 53);
    EXPECT_EQ(QuickAppsLayout::layout(0, 200, 56, 10).height, 0);
}

TEST(QuickAppsLayout, AHoveredTileGrowsAndCastsAShadowUnlessItsAppIsMissing)
{
    const Rect cell{10, 20, 60, 53};
    const struct {
        const char* why;
        double hover;
        bool missing;
        QuickAppsLayout::Tile look;
    } rows[] = {
        {"at rest", 0, false, {{17, 20, 46, 46}, 1, 0, {38, 69, 4, 4}}},
        {"hovered: 1.1 about the icon's centre", 1, false, {{14.7, 17.7, 50.6, 50.6}, 1, 0.45, {38, 69, 4, 4}}},
        {"missing: dimmed", 0, true, {{17, 20, 46, 46}, 0.35, 0, {38, 69, 4, 4}}},
        {"missing and hovered: no growth, no shadow", 1, true, {{17, 20, 46, 46}, 0.35, 0, {38, 69, 4, 4}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        const QuickAppsLayout::Tile look = QuickAppsLayout::tile(cell, row.hover, row.missing);
        EXPECT_NEAR(look.icon.x, row.look.icon.x, 1e-9);
        EXPECT_NEAR(look.icon.y, row.look.icon.y, 1e-9);
        EXPECT_NEAR(look.icon.width, row.look.icon.width, 1e-9);
        EXPECT_NEAR(look.icon.height, row.look.icon.height, 1e-9);
        EXPECT_EQ(look.iconOpacity, row.look.iconOpacity);
        EXPECT_NEAR(look.shadowOpacity, row.look.shadowOpacity, 1e-9);
        EXPECT_EQ(look.dot, row.look.dot) << "the dot never moves";
    }
}

} // namespace
