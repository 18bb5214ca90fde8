#include "Vude/Shell/Views/DropLanesLayout.h"

#include <gtest/gtest.h>

namespace {

const std::vector<DropLane> kLanes{DropLane::shelf(), DropLane::airDrop(), DropLane::pipeline(PipelineID::zip)};

TEST(DropLanesLayoutTest, OnlyTheHoveredLaneIsLitAndGrown)
{
    struct Row {
        const char* why;
        std::optional<int> hovered;
        std::optional<std::size_t> lit;
    };
    const Row rows[] = {
        {"the pointer over no lane", std::nullopt, std::nullopt},
        {"the second lane", 1, 1},
        {"a pipeline lane", 2, 2},
        {"past the last lane", 3, std::nullopt},
        {"a negative index", -1, std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        const DropLanesLayout layout = DropLanesLayout::layout({10, 0, 300, 150}, kLanes, row.hovered, 2);
        ASSERT_EQ(layout.cells.size(), 3u);
        for (std::size_t i = 0; i < layout.cells.size(); ++i) {
            const DropLanesLayout::Cell& cell = layout.cells[i];
            const bool lit = row.lit == i;
            EXPECT_EQ(cell.isHovered, lit) << i;
            EXPECT_DOUBLE_EQ(cell.scale, lit ? 1.06 : 1.0) << i;
            EXPECT_DOUBLE_EQ(cell.hover, lit ? 1.0 : 0.0) << i;
            EXPECT_EQ(cell.foreground, lit ? Vude::Accent::on : cell.isDestination ? Vude::Stone::x100 : Vude::Stone::x300)
                << i;
        }
    }
}

TEST(DropLanesLayoutTest, LanesShareTheWidthAsTheDropDividesItAndDestinationsStandOut)
{
    const DropLanesLayout layout = DropLanesLayout::layout({10, 5, 300, 150}, kLanes, std::nullopt, 1);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_DOUBLE_EQ(layout.cells[i].frame.x, 10 + 100.0 * double(i));
        EXPECT_DOUBLE_EQ(layout.cells[i].frame.width, 100);
        EXPECT_DOUBLE_EQ(layout.cells[i].frame.height, 150);
        EXPECT_DOUBLE_EQ(layout.cells[i].background.x, layout.cells[i].frame.x + 3);
        EXPECT_DOUBLE_EQ(layout.cells[i].background.width, 94);
    }
    const auto& shelf = layout.cells[0];
    const auto& sharing = layout.cells[1];
    const auto& zip = layout.cells[2];
    EXPECT_EQ(shelf.rest, DropLanesLayout::Background::dashed);
    EXPECT_EQ(sharing.rest, DropLanesLayout::Background::filled);
    EXPECT_EQ(zip.rest, DropLanesLayout::Background::none);
    EXPECT_EQ(sharing.label, "KDE Connect") << "the sharing lane says what it sends through";
    for (const auto* cell : {&shelf, &sharing}) {
        EXPECT_TRUE(cell->isDestination);
        EXPECT_EQ(cell->symbolSize, 19);
        EXPECT_EQ(cell->labelSize, 11);
        EXPECT_EQ(cell->horizontalPadding, 10);
    }
    EXPECT_FALSE(zip.isDestination);
    EXPECT_EQ(zip.symbolSize, 15);
    EXPECT_EQ(zip.labelSize, 9);
    EXPECT_EQ(zip.horizontalPadding, 5);
}

TEST(DropLanesLayoutTest, HoverProgressMovesTheLightBetweenRestAndLit)
{
    const DropLanesLayout half = DropLanesLayout::layout({0, 0, 300, 150}, kLanes, 0, 1, {0.5, 0.5, 0});
    EXPECT_TRUE(half.cells[0].isHovered);
    EXPECT_DOUBLE_EQ(half.cells[0].scale, 1.03);
    EXPECT_FALSE(half.cells[1].isHovered) << "on its way out";
    EXPECT_DOUBLE_EQ(half.cells[1].hover, 0.5);
    EXPECT_DOUBLE_EQ(half.cells[2].scale, 1);
}

TEST(DropLanesLayoutTest, CountsTheDraggedFiles)
{
    EXPECT_EQ(DropLanesLayout::fileCountText(1), "1 file");
    EXPECT_EQ(DropLanesLayout::fileCountText(2), "2 files");
    EXPECT_EQ(DropLanesLayout::fileCountText(0), "0 files");
    EXPECT_EQ(DropLanesLayout::fileCountText(1200), "1200 files");
    const DropLanesLayout none = DropLanesLayout::layout({0, 0, 300, 150}, {}, 0, 3);
    EXPECT_TRUE(none.cells.empty()) << "no lanes: only the count";
    EXPECT_EQ(none.fileCount, "3 files");
}

} // namespace
