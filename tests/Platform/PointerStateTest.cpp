#include "Platform/Display/ScreenProvider.h"
#include "Platform/Input/PointerState.h"

#include <gtest/gtest.h>

namespace {

ScreenDescription screen(Rect frame, double scale)
{
    ScreenDescription description;
    description.frame = frame;
    description.backingScale = scale;
    return description;
}

TEST(PointerStateTest, MapsXPixelsToQtCoordinatesPerScreen)
{
    // A 2x laptop panel at the origin (2560 pixels wide, 1280 points) and a
    // 1x monitor whose top-left X puts at 2560.
    const std::vector<ScreenDescription> screens{screen({0, 0, 1280, 800}, 2), screen({2560, 0, 1920, 1080}, 1)};
    struct Case {
        Point native;
        Point logical;
    };
    for (const Case& c : {Case{{0, 0}, {0, 0}}, Case{{2559, 1599}, {1279.5, 799.5}}, Case{{1000, 400}, {500, 200}},
                          Case{{2560, 10}, {2560, 10}}, Case{{3000, 500}, {3000, 500}},
                          // Off every screen: divided by the first screen's scale.
                          Case{{5000, 5000}, {2500, 2500}}}) {
        EXPECT_EQ(logicalPointFromNative(c.native, screens), c.logical) << c.native.x << "," << c.native.y;
    }
    EXPECT_EQ(logicalPointFromNative({7, 9}, {}), (Point{7, 9}));
}

TEST(PointerStateTest, ReadsButtonsAndModifiersFromTheXMask)
{
    EXPECT_EQ(mouseButtonsFromX11Mask(0), 0u);
    EXPECT_EQ(mouseButtonsFromX11Mask(XCB_KEY_BUT_MASK_BUTTON_1), MouseButtons::left);
    EXPECT_EQ(mouseButtonsFromX11Mask(XCB_KEY_BUT_MASK_BUTTON_3), MouseButtons::right);
    EXPECT_EQ(mouseButtonsFromX11Mask(XCB_KEY_BUT_MASK_BUTTON_1 | XCB_KEY_BUT_MASK_BUTTON_2 | XCB_KEY_BUT_MASK_SHIFT),
              MouseButtons::left | MouseButtons::middle);
    // Wheel "buttons" are not held buttons.
    EXPECT_EQ(mouseButtonsFromX11Mask(XCB_KEY_BUT_MASK_BUTTON_4 | XCB_KEY_BUT_MASK_BUTTON_5), 0u);

    EXPECT_EQ(keyModifiersFromX11Mask(0), KeyModifiers{});
    EXPECT_EQ(keyModifiersFromX11Mask(XCB_KEY_BUT_MASK_MOD_1 | XCB_KEY_BUT_MASK_BUTTON_1),
              (KeyModifiers{.option = true}));
    // Caps Lock and Num Lock (Mod2) are not modifiers anybody holds.
    EXPECT_EQ(keyModifiersFromX11Mask(XCB_KEY_BUT_MASK_LOCK | XCB_KEY_BUT_MASK_MOD_2), KeyModifiers{});
    EXPECT_EQ(keyModifiersFromX11Mask(XCB_KEY_BUT_MASK_SHIFT | XCB_KEY_BUT_MASK_CONTROL | XCB_KEY_BUT_MASK_MOD_4),
              (KeyModifiers{.shift = true, .control = true, .command = true}));
}

} // namespace
