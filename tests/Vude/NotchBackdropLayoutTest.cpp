#include "Vude/Shell/NotchBackdropLayout.h"

#include <gtest/gtest.h>

namespace {

const Rect kScreen{0, 0, 1440, 900};

TEST(NotchBackdropLayoutTest, HangsTheGlowFromThePanelTopCentredOnIt)
{
    // A 200 x 60 canvas draws a 188 x 54 shape; the window adds 26 left,
    // right and below.
    const auto placement = NotchBackdropLayout::place({620, 0, 200, 60}, {200, 60}, kScreen);
    ASSERT_TRUE(placement);
    EXPECT_EQ(placement->shapeSize, (Size{188, 54}));
    EXPECT_EQ(placement->frame, (Rect{720 - 94 - 26, 0, 240, 80}));
    EXPECT_EQ(placement->windowSize, (Size{240, 80}));
    EXPECT_EQ(placement->glowRect, (Rect{0, 0, 240, 80}));

    // The shape follows the drawn canvas, not the panel's size (armed panels
    // grow while the drawn notch stays).
    const auto armed = NotchBackdropLayout::place({440, 0, 560, 190}, {200, 60}, kScreen);
    ASSERT_TRUE(armed);
    EXPECT_EQ(armed->frame, (Rect{720 - 94 - 26, 0, 240, 80}));

    // A shape never gets smaller than one point: a 1 x 1 shape still has a
    // 53 x 27 window.
    const auto tiny = NotchBackdropLayout::place({100, 0, 5, 5}, {5, 5}, kScreen);
    ASSERT_TRUE(tiny);
    EXPECT_EQ(tiny->shapeSize, (Size{1, 1}));
    EXPECT_EQ(tiny->windowSize, (Size{53, 27}));
}

TEST(NotchBackdropLayoutTest, KeepsTheGlowAtItsTrueOffsetWhenTheScreenClipsTheWindow)
{
    // A panel at the left edge of a second screen: the window's first 26
    // points fall off the screen, so the image starts left of the window.
    // (The window begins 20 points left of the panel.)
    const Rect screen{1440, 0, 1920, 1080};
    const auto placement = NotchBackdropLayout::place({1440 - 6, 0, 200, 60}, {200, 60}, screen);
    ASSERT_TRUE(placement);
    EXPECT_EQ(placement->frame, (Rect{1440, 0, 240 - 26, 80}));
    EXPECT_EQ(placement->glowRect, (Rect{-26, 0, 240, 80}));
    EXPECT_EQ(placement->windowSize, (Size{240, 80})) << "rendered whole, shown in part";

    // A screen shorter than the glow cuts it at the bottom only.
    const auto shortScreen = NotchBackdropLayout::place({0, 0, 200, 60}, {200, 60}, {0, 0, 1000, 70});
    ASSERT_TRUE(shortScreen);
    EXPECT_EQ(shortScreen->frame.height, 70);
    EXPECT_EQ(shortScreen->glowRect.y, 0);
}

TEST(NotchBackdropLayoutTest, PlacesNothingWhenLessThanAPointIsLeftOnScreen)
{
    EXPECT_FALSE(NotchBackdropLayout::place({3000, 0, 200, 60}, {200, 60}, kScreen));
    // The window begins 20 points left of the panel.
    EXPECT_FALSE(NotchBackdropLayout::place({1459, 0, 200, 60}, {200, 60}, kScreen)) << "exactly 1 point left";
    EXPECT_TRUE(NotchBackdropLayout::place({1458, 0, 200, 60}, {200, 60}, kScreen)) << "2 points left";
}

TEST(NotchBackdropLayoutTest, RendersAgainOnlyWhenSizeRadiusOrScaleChange)
{
    const auto placement = NotchBackdropLayout::place({620, 0, 200, 60}, {200, 60}, kScreen);
    ASSERT_TRUE(placement);
    // Nothing rendered yet: the first synchronisation always renders.
    EXPECT_TRUE(NotchBackdropLayout::needsRender({}, *placement, 14, 1));

    const NotchBackdropLayout::Rendered shown{placement->windowSize, 14, 1};
    EXPECT_FALSE(NotchBackdropLayout::needsRender(shown, *placement, 14, 1));
    // Moved along the top edge, and half off the screen: the same image.
    for (const Rect& panel : {Rect{100, 0, 200, 60}, Rect{1300, 0, 200, 60}}) {
        const auto moved = NotchBackdropLayout::place(panel, {200, 60}, kScreen);
        ASSERT_TRUE(moved);
        EXPECT_FALSE(NotchBackdropLayout::needsRender(shown, *moved, 14, 1)) << panel.x;
    }
    EXPECT_TRUE(NotchBackdropLayout::needsRender(shown, *placement, 34, 1));
    EXPECT_TRUE(NotchBackdropLayout::needsRender(shown, *placement, 14, 2));
    const auto bigger = NotchBackdropLayout::place({620, 0, 240, 60}, {240, 60}, kScreen);
    EXPECT_TRUE(NotchBackdropLayout::needsRender(shown, *bigger, 14, 1));
}

} // namespace
