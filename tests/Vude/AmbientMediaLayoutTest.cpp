#include "Vude/Shell/Views/AmbientMediaLayout.h"

#include <gtest/gtest.h>

namespace {

using L = AmbientMediaLayout;

// Not hovered: one row 26 high, the artwork against the notch's left in a
// 46-point frame and the waveform's frame against its right. The row keeps
// 46 + notch + 46 even where the padded content is narrower.
TEST(AmbientMediaLayoutTest, TheTopRowHugsTheNotch)
{
    // A 200-point notch with the default padding: content 200 + 92 - 24 wide.
    const Rect content{30, 0, 268, 32};
    const L::Frames f = L::frames(content, 200, 15, 0);
    EXPECT_EQ(f.topRow, (Rect{18, 3, 292, 26}));
    EXPECT_EQ(f.cutout, (Rect{64, 3, 200, 26}));
    EXPECT_EQ(f.artwork, (Rect{38, 3, 26, 26}));
    EXPECT_EQ(f.waveformFrame, (Rect{264, 3, 46, 26}));
    EXPECT_FALSE(f.labelRow);
}

// Hovered: the stack of the row, 4 points and the labels is centred; while
// the labels fade, the row glides between its two places.
TEST(AmbientMediaLayoutTest, TheLabelRowSitsBeneathWhileHovered)
{
    const Rect content{30, 0, 268, 56};
    const L::Frames shown = L::frames(content, 200, 15, 1);
    EXPECT_EQ(shown.topRow.y, (56 - (26 + 4 + 15)) / 2.0);
    ASSERT_TRUE(shown.labelRow);
    EXPECT_EQ(*shown.labelRow, (Rect{30, shown.topRow.maxY() + 4, 268, 15}));

    const L::Frames fading = L::frames(content, 200, 15, 0.5);
    EXPECT_GT(fading.topRow.y, shown.topRow.y);
    EXPECT_LT(fading.topRow.y, L::frames(content, 200, 15, 0).topRow.y);
    EXPECT_TRUE(fading.labelRow);
    EXPECT_EQ(L::frames(content, 200, 15, 1.1).topRow, shown.topRow) << "an overshoot moves nothing further";
}

TEST(AmbientMediaLayoutTest, LabelsShareTheRowWidth)
{
    struct Row {
        const char* name;
        double first;
        double second;
        double available;
        std::pair<double, double> expected;
    } rows[] = {
        {"both fit", 80, 90, 268, {80, 90}},
        {"only a title", 300, 0, 268, {268, 0}},
        {"only an artist that fits", 0, 90, 268, {0, 90}},
        {"a short title keeps its width", 60, 400, 268, {60, 268 - 12 - 60}},
        {"a short artist keeps its width", 400, 60, 268, {268 - 12 - 60, 60}},
        {"both long: half each", 300, 400, 268, {128, 128}},
        {"no room at all", 50, 50, 5, {0, 0}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(L::labelWidths(row.first, row.second, row.available), row.expected);
    }
}

} // namespace
