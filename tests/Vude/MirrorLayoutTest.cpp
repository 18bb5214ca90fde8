// Where the mirror's parts go, and which part of a picture fills its circle.
#include "Vude/Desk/MirrorLayout.h"

#include <gtest/gtest.h>

namespace {

TEST(MirrorLayoutTest, ThePictureFillsTheTargetCroppedOnItsLongerSideNeverLetterboxed)
{
    struct Case {
        const char* name;
        Size image;
        Size target;
        Rect source;
    };
    const Case cases[] = {
        {"landscape: the sides go", {640, 480}, {78, 78}, {80, 0, 480, 480}},
        {"portrait: top and bottom go", {480, 640}, {78, 78}, {0, 80, 480, 480}},
        {"square: all of it", {240, 240}, {78, 78}, {0, 0, 240, 240}},
        {"smaller than the target: still all of one axis", {40, 20}, {78, 78}, {10, 0, 20, 20}},
        {"a wide target crops a square picture's height", {100, 100}, {200, 100}, {0, 25, 100, 50}},
        {"an empty picture", {0, 480}, {78, 78}, {}},
        {"an empty target", {640, 480}, {0, 0}, {}},
    };
    for (const Case& c : cases) {
        const Rect source = MirrorLayout::aspectFillSource(c.image, c.target);
        EXPECT_NEAR(source.x, c.source.x, 1e-9) << c.name;
        EXPECT_NEAR(source.y, c.source.y, 1e-9) << c.name;
        EXPECT_NEAR(source.width, c.source.width, 1e-9) << c.name;
        EXPECT_NEAR(source.height, c.source.height, 1e-9) << c.name;
        if (source.width > 0) {
            EXPECT_NEAR(source.width / source.height, c.target.width / c.target.height, 1e-9)
                << c.name << ": the target's shape, so nothing is stretched";
            EXPECT_LE(source.maxX(), c.image.width) << c.name;
            EXPECT_LE(source.maxY(), c.image.height) << c.name;
        }
    }
}

TEST(MirrorLayoutTest, TheCircleSitsAtTheTopCentreWithTheColumnCentredInIt)
{
    const MirrorLayout layout = MirrorLayout::layout(200, 24, {30, 13});
    EXPECT_EQ(layout.circle, (Rect{61, 0, 78, 78}));
    // 24 + 4 + 13 = 41 high, centred on the circle's middle (39).
    EXPECT_EQ(layout.symbol, (Rect{88, 18.5, 24, 24}));
    EXPECT_EQ(layout.text, (Rect{85, 46.5, 30, 13}));

    // A cell narrower than the circle keeps it whole and centred; the cell
    // clips it.
    EXPECT_EQ(MirrorLayout::layout(60, 24, {30, 13}).circle, (Rect{-9, 0, 78, 78}));
}

TEST(MirrorLayoutTest, WithoutAPictureTheCircleSaysWhetherAccessWasRefused)
{
    EXPECT_EQ(MirrorLayout::symbolName(false), "person.crop.circle");
    EXPECT_EQ(MirrorLayout::caption(false), "Mirror");
    EXPECT_EQ(MirrorLayout::symbolName(true), "video.slash");
    EXPECT_EQ(MirrorLayout::caption(true), "No access");
}

} // namespace
