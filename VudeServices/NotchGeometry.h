#pragma once
// Where a screen's notch is and how big, as measured by ScreenGeometryResolver.
// In the bottom-left global coordinates of ScreenCoordinates (y grows
// upwards), in points; the shell converts with ScreenCoordinates::toTopLeft.

#include "VudeKit/Geometry.h"

#include <array>
#include <cstdint>
#include <string_view>
#include <utility>

struct NotchGeometry {
    /// The screen's display number; 0 when the screen has none.
    std::uint32_t displayID = 0;
    Rect screenFrame{};
    /// The screen reports a camera housing (a safe-area top above 0). Without
    /// one the notch is a handler of the configured size.
    bool hasHardwareNotch = false;
    /// After the user's adjustments.
    Size notchSize{};
    /// The notch rectangle's bottom-left corner.
    Point notchOrigin{};
    /// The screen's top less its visible frame's top.
    double menuBarHeight = 0;
    double backingScale = 1;
    int maximumFramesPerSecond = 60;

    Rect notchRect() const { return {notchOrigin.x, notchOrigin.y, notchSize.width, notchSize.height}; }
    double notchCenterX() const { return notchOrigin.x + notchSize.width / 2; }

    bool operator==(const NotchGeometry&) const = default;
};

/// Notch widths of machines whose screens do not report the areas beside the
/// notch; any other machine's notch is kDefaultNotchWidth wide.
inline constexpr std::array<std::pair<std::string_view, double>, 1> notchWidthByModel{{
    {"Mac15,12", 179},
}};
inline constexpr double kDefaultNotchWidth = 180;
