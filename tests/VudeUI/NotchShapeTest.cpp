#include "VudeUI/NotchShape.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using Path = ShapePath;

TEST(NotchShape, ClosedNotchOutline)
{
    const ShapePath path = NotchShape(6, 14).path(UIRect{0, 0, 200, 32});
    const std::vector<Path::Element> expected{
        Path::MoveTo{{0, 0}},
        Path::QuadTo{{6, 0}, {6, 6}},       // left flare
        Path::LineTo{{6, 18}},
        Path::QuadTo{{6, 32}, {20, 32}},    // left bottom corner
        Path::LineTo{{180, 32}},            // the bottom edge, 20...180
        Path::QuadTo{{194, 32}, {194, 18}}, // right bottom corner
        Path::LineTo{{194, 6}},
        Path::QuadTo{{194, 0}, {200, 0}},   // right flare
        Path::Close{},
    };
    EXPECT_EQ(path.elements(), expected);
}

TEST(NotchShape, FollowsTheRectangleOrigin)
{
    const ShapePath path = NotchShape(6, 14).path(UIRect{100, 40, 200, 32});
    ASSERT_EQ(path.elements().size(), 9u);
    EXPECT_EQ(path.elements().front(), Path::Element(Path::MoveTo{{100, 40}}));
    EXPECT_EQ(path.elements()[4], Path::Element(Path::LineTo{{280, 72}}));
    EXPECT_EQ(path.elements()[7], Path::Element(Path::QuadTo{{294, 40}, {300, 40}}));
}

/// The top and bottom radii a path was built with, read back from its corners.
std::pair<double, double> radiiOf(const ShapePath& path, const UIRect& rect)
{
    const auto& flare = std::get<Path::QuadTo>(path.elements().at(1));
    const auto& corner = std::get<Path::QuadTo>(path.elements().at(3));
    const double t = flare.point.x - rect.minX();
    return {t, corner.point.x - rect.minX() - t};
}

TEST(NotchShape, RadiiAreClampedToWhatFits)
{
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    struct Row {
        UIRect rect;
        double top;
        double bottom;
        double expectedTop;
        double expectedBottom;
        const char* why;
    } rows[] = {
        {{0, 0, 200, 32}, 6, 14, 6, 14, "both fit"},
        {{0, 0, 200, 10}, 6, 14, 6, 4, "bottom limited by the height left under the flare"},
        {{0, 0, 8, 32}, 6, 14, 4, 0, "top limited by half the width, nothing left for the bottom"},
        {{0, 0, 200, 4}, 6, 14, 4, 0, "top limited by the height"},
        {{0, 0, 200, 32}, -6, -14, 0, 0, "negative radii are a plain rectangle"},
        {{0, 0, 200, 32}, kNaN, kNaN, 0, 0, "NaN radii are a plain rectangle"},
        {{0, 0, 200, 68}, 6, 34, 6, 34, "the open Desk"},
        {{0, 0, 0, 0}, 6, 14, 0, 0, "an empty rectangle"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        const ShapePath path = NotchShape(row.top, row.bottom).path(row.rect);
        const auto [top, bottom] = radiiOf(path, row.rect);
        EXPECT_EQ(top, row.expectedTop);
        EXPECT_EQ(bottom, row.expectedBottom);
    }
}

TEST(NotchShape, AnimatesAsTheRadiusPair)
{
    NotchShape shape(6, 14);
    EXPECT_EQ(shape.animatableData(), (std::array<double, 2>{6, 14}));
    shape.setAnimatableData({6, 34});
    EXPECT_EQ(shape, NotchShape(6, 34));
}

} // namespace
