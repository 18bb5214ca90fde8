// The windowing system's own screens through the notch geometry. Qt's default
// offscreen screen has no name, and so no display number; this program gives
// the offscreen platform two named screens from a configuration file, which
// must happen before the test main creates the application.

#include "Platform/Display/ScreenProvider.h"
#include "VudeServices/ScreenGeometryResolver.h"

#include <QGuiApplication>
#include <QScreen>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

namespace {

const bool configured = [] {
    const char* source = std::getenv("VUDE_TEST_SOURCE_DIR");
    const std::string file = std::string(source ? source : ".") + "/tests/VudeServices/fixtures/offscreen_screens.json";
    return qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + file.c_str());
}();

TEST(ScreenGeometry, NamedScreensGetHandlersAtTheirOwnTopEdges)
{
    ASSERT_TRUE(configured);
    QtScreenProvider provider;
    const std::vector<ScreenDescription> screens = provider.screens();
    ASSERT_EQ(screens.size(), 2u) << "the offscreen configuration was not read";
    const ScreenCoordinates coordinates = ScreenCoordinates::forScreens(screens);

    for (const ScreenDescription& screen : screens) {
        SCOPED_TRACE(screen.name);
        const NotchGeometry geometry = ScreenGeometryResolver::geometry(screen, coordinates, 0, 0, {184, 8});
        EXPECT_NE(geometry.displayID, 0u);
        EXPECT_EQ(geometry.displayID, displayNumberFor(screen.name));
        EXPECT_FALSE(geometry.hasHardwareNotch) << "Linux screens report no camera housing";
        EXPECT_EQ(geometry.notchSize, (Size{184, 8}));
        EXPECT_EQ(coordinates.toTopLeft(geometry.notchRect()),
                  (Rect{screen.frame.midX() - 92, screen.frame.y, 184, 8}));
    }
    const auto higher = std::ranges::find(screens, std::string("DP-1"), &ScreenDescription::name);
    ASSERT_NE(higher, screens.end());
    EXPECT_EQ(higher->frame, (Rect{1920, -300, 2560, 1440}));
    EXPECT_NE(screens[0].displayNumber, screens[1].displayNumber);
}

} // namespace
