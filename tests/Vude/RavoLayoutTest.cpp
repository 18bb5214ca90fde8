// Where the open Desk puts its header, its cells and its dividers.
#include "Vude/Desk/RavoLayout.h"

#include <gtest/gtest.h>

#include <cmath>

#include <string>
#include <vector>

namespace {

RavoLayout::Input input(double width, double notchWidth, double inset, std::vector<double> widths)
{
    RavoLayout::Input in;
    in.content = {width, 32 + 146};
    in.notch = {notchWidth, 32};
    in.inset = inset;
    in.widths = std::move(widths);
    in.deskTab = {62, 22};
    in.trayTab = {58, 22};
    in.settings = {14, 14};
    in.close = {14, 14};
    return in;
}

struct Cell {
    double x;
    double width;
};

// (W, N, inset, widths) → side zones, slack and cells, each ±1 point.
TEST(RavoLayout, SideZonesAndCellsFollowThePanelTheNotchAndTheWidths)
{
    const struct Row {
        const char* why;
        double width, notch, inset;
        std::vector<double> widths;
        double side, extra;
        std::vector<Cell> cells;
    } rows[] = {
        {"the narrowest open panel, nothing placed: each side is (372 - 2 x 18) / 2", 572, 200, 18, {}, 168, 0, {}},
        {"one widget takes all the slack", 572, 200, 18, {270}, 168, 266, {{18, 536}}},
        {"three widgets share 96 points of slack: 32 each", 536, 200, 18, {100, 120, 140}, 150, 32,
         {{18, 132}, {172, 152}, {346, 172}}},
        {"a slack of a third of a point: edges rounded from their running sums", 736, 200, 18, {270, 216, 108}, 250,
         62.0 / 3, {{18, 291}, {331, 236}, {589, 129}}},
        {"too wide for the panel: no slack, widths kept, the row centred and clipped", 536, 200, 18, {300, 300}, 150,
         0, {{-43, 300}, {279, 300}}},
        {"a panel narrower than the notch and its insets: no side zones", 200, 200, 18, {}, 0, 0, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        const RavoLayout layout = RavoLayout::layout(input(row.width, row.notch, row.inset, row.widths));
        EXPECT_NEAR(layout.sideZoneWidth, row.side, 1e-9);
        EXPECT_NEAR(layout.extraWidthPerWidget, row.extra, 1e-9);
        ASSERT_EQ(layout.cells.size(), row.cells.size());
        for (std::size_t i = 0; i < row.cells.size(); ++i) {
            SCOPED_TRACE("cell " + std::to_string(i));
            EXPECT_NEAR(layout.cells[i].x, row.cells[i].x, 1);
            EXPECT_NEAR(layout.cells[i].width, row.cells[i].width, 1);
            EXPECT_EQ(layout.cells[i].x, std::round(layout.cells[i].x)) << "whole points";
            EXPECT_EQ(layout.cells[i].width, std::round(layout.cells[i].width));
        }
        if (row.extra > 0 || row.cells.size() == 1) {
            // With slack, the cells and gaps span exactly W - 2 x inset.
            EXPECT_EQ(layout.cells.front().x, row.inset);
            EXPECT_EQ(layout.cells.back().maxX(), row.width - row.inset);
        }
    }
}

TEST(RavoLayout, EveryGapButTheFirstCellsHasADividerInItsMiddle)
{
    const RavoLayout one = RavoLayout::layout(input(572, 200, 18, {270}));
    EXPECT_TRUE(one.dividers.empty()) << "the first cell has none";

    const RavoLayout three = RavoLayout::layout(input(536, 200, 18, {100, 120, 140}));
    ASSERT_EQ(three.dividers.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        const Rect& cell = three.cells[i + 1];
        EXPECT_EQ(three.dividers[i].x, cell.x - 11);
        EXPECT_EQ(three.dividers[i].width, 1);
        EXPECT_EQ(three.dividers[i].y, cell.y);
        EXPECT_EQ(three.dividers[i].height, cell.height);
        EXPECT_GT(three.dividers[i].x, three.cells[i].maxX()) << "inside the gap";
    }
}

TEST(RavoLayout, TheHeaderIsLevelWithTheNotchAndTheContentFillsTheRest)
{
    const RavoLayout layout = RavoLayout::layout(input(572, 200, 18, {270}));
    EXPECT_EQ(layout.header.height, 32);
    // Tabs from the leading inset, 6 apart; Close at the trailing inset,
    // Settings 8 before it; all centred on the notch's height.
    EXPECT_EQ(layout.deskTab.x, 18);
    EXPECT_EQ(layout.trayTab.x, 18 + 62 + 6);
    EXPECT_EQ(layout.close.maxX(), 572 - 18);
    EXPECT_EQ(layout.settings.maxX(), layout.close.x - 8);
    EXPECT_EQ(layout.deskTab.midY(), 16);
    EXPECT_EQ(layout.close.midY(), 16);
    EXPECT_LE(layout.trayTab.maxX(), 18 + layout.sideZoneWidth) << "the tabs stay left of the notch";
    EXPECT_GE(layout.settings.x, 572 - 18 - layout.sideZoneWidth) << "the actions stay right of it";
    // The badge: 5 x 5, 3 past the tray tab's trailing edge, 2 above its top.
    EXPECT_EQ(layout.badge, (Rect{layout.trayTab.maxX() - 2, layout.trayTab.y - 2, 5, 5}));

    // Below the header and 4 points, the row; 10 points stay free under the
    // cells, 8 under the tray.
    EXPECT_EQ(layout.content, (Rect{18, 36, 536, 178 - 36}));
    EXPECT_EQ(layout.cells[0].y, 36);
    EXPECT_EQ(layout.cells[0].height, 178 - 36 - 10);
    EXPECT_EQ(layout.emptyState, (Rect{18, 36, 536, 178 - 36 - 10}));
    EXPECT_EQ(layout.tray, (Rect{18, 36, 536, 178 - 36 - 8}));
}

TEST(RavoLayout, UnderANotchShorterThanItsTabsTheHeaderTakesItsOwnHeight)
{
    // A handler 8 high: the tabs, centred on it, would start above the
    // panel's top edge.
    RavoLayout::Input in = input(572, 184, 18, {270});
    in.notch.height = 8;
    in.headerHeight = 32;
    const RavoLayout layout = RavoLayout::layout(in);
    EXPECT_EQ(layout.header.height, 32);
    EXPECT_EQ(layout.deskTab.midY(), 16);
    EXPECT_EQ(layout.close.midY(), 16);
    EXPECT_GE(layout.badge.y, 0) << "the badge too stays inside the panel";
    EXPECT_EQ(layout.content.y, 36);
    EXPECT_EQ(layout.cells[0].y, 36);

    // A taller notch wins over the header's own height.
    in.notch.height = 40;
    EXPECT_EQ(RavoLayout::layout(in).header.height, 40);
}

} // namespace
