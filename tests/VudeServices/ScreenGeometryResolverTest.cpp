#include "VudeServices/ScreenGeometryResolver.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

inline void PrintTo(const Rect& rect, std::ostream* out)
{
    *out << "{" << rect.x << ", " << rect.y << ", " << rect.width << " x " << rect.height << "}";
}

inline void PrintTo(const Point& point, std::ostream* out)
{
    *out << "(" << point.x << ", " << point.y << ")";
}

inline void PrintTo(const Size& size, std::ostream* out)
{
    *out << size.width << " x " << size.height;
}

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

// A 1512 x 982 primary screen at Qt's origin with a 38-point bar at the top.
ScreenDescription laptopScreen()
{
    ScreenDescription screen;
    screen.name = "eDP-1";
    screen.displayNumber = displayNumberFor(screen.name);
    screen.frame = {0, 0, 1512, 982};
    screen.visibleFrame = {0, 38, 1512, 944};
    screen.backingScale = 2;
    screen.maximumFramesPerSecond = 120;
    screen.isPrimary = true;
    return screen;
}

ScreenDescription notched(bool withAreas, bool withRightArea = true)
{
    ScreenDescription screen = laptopScreen();
    screen.safeAreaTop = 32;
    if (withAreas) {
        screen.auxiliaryTopLeftArea = Rect{0, 0, 663.5, 32};
        if (withRightArea)
            screen.auxiliaryTopRightArea = Rect{848.5, 0, 663.5, 32};
    }
    return screen;
}

TEST(ScreenGeometryResolver, MeasuresNotchesAndHandlers)
{
    struct Row {
        const char* why;
        ScreenDescription screen;
        const char* model;
        double widthAdjust;
        double heightAdjust;
        Size expectedSize;
        double expectedX;
        bool hardware;
    };
    const Size handler{184, 8};
    const Row rows[] = {
        {"between the areas beside the notch", notched(true), "", 0, 0, {185, 32}, 663.5, true},
        {"a listed model without the areas", notched(false), "Mac15,12", 0, 0, {179, 32}, 756 - 89.5, true},
        {"any other model without the areas", notched(false), "Mac14,6", 0, 0, {180, 32}, 666, true},
        {"one area alone does not count", notched(true, false), "", 0, 0, {180, 32}, 666, true},
        {"no notch: the handler, centred", laptopScreen(), "", 0, 0, {184, 8}, 664, false},
        {"wider to the right only", notched(true), "", 10, 4, {195, 36}, 663.5, true},
        {"never narrower than 40", notched(false), "", -200, 0, {40, 32}, 666, true},
        {"never lower than 2", laptopScreen(), "", 0, -20, {184, 2}, 664, false},
        {"a NaN adjustment gives the minimum", laptopScreen(), "", kNaN, kNaN, {40, 2}, 664, false},
        {"an endless adjustment gives the minimum", laptopScreen(), "", kInfinity, -kInfinity, {40, 2}, 664, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        const ScreenCoordinates coordinates(row.screen.frame);
        const NotchGeometry geometry = ScreenGeometryResolver::geometry(
            row.screen, coordinates, row.widthAdjust, row.heightAdjust, handler, [&] { return row.model; });
        EXPECT_EQ(geometry.notchSize, row.expectedSize);
        EXPECT_EQ(geometry.notchOrigin, (Point{row.expectedX, 982 - row.expectedSize.height}))
            << "the notch hangs from the top edge";
        EXPECT_EQ(geometry.hasHardwareNotch, row.hardware);
        EXPECT_EQ(geometry.displayID, displayNumberFor("eDP-1"));
        EXPECT_EQ(geometry.screenFrame, (Rect{0, 0, 1512, 982}));
        EXPECT_EQ(geometry.menuBarHeight, 38);
        EXPECT_EQ(geometry.backingScale, 2);
        EXPECT_EQ(geometry.maximumFramesPerSecond, 120);
    }
}

TEST(ScreenGeometryResolver, HandlersWithoutAUsableWidthStayCentred)
{
    const ScreenDescription screen = laptopScreen();
    const auto geometry =
        ScreenGeometryResolver::geometry(screen, ScreenCoordinates(screen.frame), 0, 0, {kNaN, kNaN}, {});
    EXPECT_EQ(geometry.notchSize, (Size{40, 2}));
    EXPECT_EQ(geometry.notchCenterX(), 756);
}

TEST(ScreenGeometryResolver, AScreenWithoutANameHasNoDisplayNumber)
{
    ScreenDescription screen = laptopScreen();
    screen.name = "";
    screen.displayNumber = displayNumberFor(screen.name);
    const auto geometry = ScreenGeometryResolver::geometry(screen, ScreenCoordinates(screen.frame), 0, 0, {184, 8});
    EXPECT_EQ(geometry.displayID, 0u);
}

// Screens around a 1920 x 1080 primary, in Qt's coordinates.
ScreenDescription screenAt(const char* name, Rect frame, bool isPrimary = false)
{
    ScreenDescription screen;
    screen.name = name;
    screen.displayNumber = displayNumberFor(name);
    screen.frame = frame;
    screen.visibleFrame = frame;
    screen.isPrimary = isPrimary;
    return screen;
}

TEST(ScreenCoordinates, EveryScreensNotchHangsFromItsOwnTopEdgeInQtCoordinates)
{
    const std::vector<ScreenDescription> screens{
        screenAt("DP-1", {1920, -300, 2560, 1440}), // taller, and higher up
        screenAt("eDP-1", {0, 0, 1920, 1080}, true),
        screenAt("HDMI-1", {-1280, 500, 1280, 720}), // lower down, on the left
    };
    const ScreenCoordinates coordinates = ScreenCoordinates::forScreens(screens);
    for (const ScreenDescription& screen : screens) {
        SCOPED_TRACE(screen.name);
        const auto geometry = ScreenGeometryResolver::geometry(screen, coordinates, 0, 0, {184, 8});
        const Rect notch = coordinates.toTopLeft(geometry.notchRect());
        EXPECT_EQ(notch, (Rect{screen.frame.midX() - 92, screen.frame.y, 184, 8}));
        EXPECT_EQ(coordinates.toTopLeft(geometry.screenFrame), screen.frame);
        // The top row of pixels belongs to the notch in both systems.
        const Point topLeftPixel{notch.x, screen.frame.y};
        EXPECT_TRUE(notch.contains(topLeftPixel));
        EXPECT_EQ(coordinates.fromTopLeft(topLeftPixel).y, geometry.screenFrame.maxY());
    }

    const auto primary = ScreenGeometryResolver::geometry(screens[1], coordinates, 0, 0, {184, 8});
    EXPECT_EQ(primary.screenFrame, (Rect{0, 0, 1920, 1080})) << "the primary's bottom-left corner is the origin";
    const auto higher = ScreenGeometryResolver::geometry(screens[0], coordinates, 0, 0, {184, 8});
    EXPECT_EQ(higher.screenFrame, (Rect{1920, -60, 2560, 1440}));
    EXPECT_GT(higher.notchOrigin.y, primary.notchOrigin.y) << "a screen higher up has its notch higher up";
}

TEST(ScreenCoordinates, FlipsAboutThePrimaryScreenWhereverItIs)
{
    struct Row {
        const char* why;
        std::vector<ScreenDescription> screens;
        double primaryBottomInQt;
    };
    const Row rows[] = {
        {"the primary listed second", {screenAt("a", {0, 0, 800, 600}), screenAt("b", {800, 200, 1024, 768}, true)},
         968},
        {"no primary: the first screen", {screenAt("a", {0, 100, 800, 600}), screenAt("b", {800, 0, 1024, 768})}, 700},
        {"no screens", {}, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        const ScreenCoordinates coordinates = ScreenCoordinates::forScreens(row.screens);
        EXPECT_EQ(coordinates.fromTopLeft(Point{5, row.primaryBottomInQt}), (Point{5, 0}));
        const Rect rect{10, 20, 30, 40};
        EXPECT_EQ(coordinates.toTopLeft(coordinates.fromTopLeft(rect)), rect);
    }
}

} // namespace
