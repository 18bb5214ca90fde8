#include "Vude/Shell/NotchHitArea.h"

#include <gtest/gtest.h>

namespace {

const Rect kInteractive{76, 0, 248, 38};
const Rect kDrop{0, 0, 400, 120};

TEST(NotchHitAreaTest, TakesTheInteractiveRectAndTheDropRectOnlyDuringADrag)
{
    struct Case {
        const char* name;
        NotchHitArea area;
        std::vector<Rect> rects;
    };
    const Case cases[] = {
        {"interactive only", {kInteractive, kDrop, false, false}, {kInteractive}},
        {"dragging inside", {kInteractive, kDrop, true, false}, {kInteractive, kDrop}},
        {"armed", {kInteractive, kDrop, false, true}, {kInteractive, kDrop}},
        {"hidden", {{}, kDrop, false, false}, {}},
        {"hidden but armed", {{}, kDrop, false, true}, {kDrop}},
        {"armed without a drop rect", {kInteractive, {}, false, true}, {kInteractive}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.area.activeRects(), c.rects) << c.name;
}

TEST(NotchHitAreaTest, ClicksBesideTheNotchFallThroughUnlessADragIsOn)
{
    NotchHitArea area{kInteractive, kDrop, false, false};
    EXPECT_TRUE(area.contains({200, 20}));
    EXPECT_FALSE(area.contains({20, 60})) << "inside the drop rect only";
    EXPECT_FALSE(area.contains({324, 10})) << "the right edge is outside";
    area.isArmed = true;
    EXPECT_TRUE(area.contains({20, 60}));
    EXPECT_FALSE(area.contains({20, 130}));
}

TEST(NotchHitAreaTest, ConvertsToWholeDevicePixelsInsideTheWindow)
{
    const Size view{400, 120};
    EXPECT_EQ(NotchHitArea::devicePixelRects({kInteractive}, view, 1), (std::vector<QRect>{QRect(76, 0, 248, 38)}));
    EXPECT_EQ(NotchHitArea::devicePixelRects({kInteractive}, view, 2), (std::vector<QRect>{QRect(152, 0, 496, 76)}));
    // Fractions grow outward; what lies outside the window is cut off; what
    // is left of nothing disappears.
    EXPECT_EQ(NotchHitArea::devicePixelRects({{10.5, 0.25, 20.2, 10}}, view, 1),
              (std::vector<QRect>{QRect(10, 0, 21, 11)}));
    EXPECT_EQ(NotchHitArea::devicePixelRects({{-50, -10, 100, 200}}, view, 1), (std::vector<QRect>{QRect(0, 0, 50, 120)}));
    EXPECT_TRUE(NotchHitArea::devicePixelRects({{500, 0, 10, 10}}, view, 1).empty());
    EXPECT_EQ(NotchHitArea::devicePixelRects({kInteractive}, view, 0), (std::vector<QRect>{QRect(76, 0, 248, 38)}))
        << "a broken scale counts as 1";
}

} // namespace
