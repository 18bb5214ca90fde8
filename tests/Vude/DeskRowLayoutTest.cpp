// Where a Desk list row puts its symbol, its text and its accessory.
#include "Vude/Desk/DeskRowLayout.h"

#include <gtest/gtest.h>

namespace {

constexpr DeskRowLayout::Metrics shortcut{.paddingX = 7, .paddingY = 4, .symbolWidth = 12, .spacing = 6};
constexpr DeskRowLayout::Metrics clip{
    .paddingX = 7, .paddingY = 5, .symbolWidth = 13, .spacing = 7, .minimumSpacer = 4};

TEST(DeskRowLayout, TheTextStartsAfterTheSymbolColumnAndIsCutToWhatIsLeft)
{
    const struct {
        const char* why;
        DeskRowLayout::Metrics metrics;
        double width;
        double textWidth;
        std::optional<Size> accessory;
        Rect symbol;
        Rect text;
        std::optional<Rect> accessoryRect;
    } rows[] = {
        {"a short text keeps its width", shortcut, 200, 50, {}, {7, 4, 12, 13}, {25, 4, 50, 13}, {}},
        {"a long one ends before the spacing at the padding", shortcut, 200, 500, {}, {7, 4, 12, 13},
         {25, 4, 200 - 7 - 6 - 25, 13}, {}},
        {"the spacer's least length is kept free", clip, 200, 500, {}, {7, 5, 13, 11},
         {27, 5, 200 - 7 - 4 - 7 - 27, 11}, {}},
        {"an accessory sits at the padding, centred down the row", clip, 200, 500, Size{10, 9}, {7, 5, 13, 11},
         {27, 5, 183 - 7 - 4 - 7 - 27, 11}, Rect{183, 6, 10, 9}},
        {"a row too narrow for any text gives it none", shortcut, 30, 50, {}, {7, 4, 12, 13}, {25, 4, 0, 13}, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        const double height = row.metrics.paddingY * 2 + (row.metrics.paddingY == 4 ? 13 : 11);
        const DeskRowLayout layout = DeskRowLayout::layout({row.width, height}, row.metrics, row.textWidth,
                                                           row.accessory);
        EXPECT_EQ(layout.symbol, row.symbol);
        EXPECT_EQ(layout.text, row.text);
        EXPECT_EQ(layout.accessory, row.accessoryRect);
    }
    EXPECT_EQ(DeskRowLayout::height(shortcut, 13), 21);
    EXPECT_EQ(DeskRowLayout::height(clip, 13), 23);
}

} // namespace
