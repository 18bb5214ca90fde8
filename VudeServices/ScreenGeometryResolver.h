#pragma once
// Measures one screen's notch: a camera housing where the screen reports one,
// otherwise a notch-shaped handler of the configured size centred at the top
// of the screen, so the rest of the app treats every screen alike. Linux
// screens report no camera housing, so they always get the handler.

#include "Platform/Display/ScreenProvider.h"
#include "VudeKit/Geometry.h"
#include "VudeServices/NotchGeometry.h"
#include "VudeServices/ScreenCoordinates.h"

#include <functional>
#include <string>

namespace ScreenGeometryResolver {

inline constexpr double kMinimumNotchWidth = 40;
inline constexpr double kMinimumNotchHeight = 2;

/// The notch of `screen` (described in Qt's coordinates, converted with
/// `coordinates`) after the user's width and height adjustments (points),
/// which are never allowed below 40 x 2; a sum that is not a finite number
/// gives the minimum. The notch keeps its left edge when its width is
/// adjusted. `handlerSize` is the handler of a screen without a notch.
/// `model` names the machine when a notched screen does not report the areas
/// beside its notch; machineModel() by default. Main thread.
NotchGeometry geometry(const ScreenDescription& screen, const ScreenCoordinates& coordinates, double widthAdjust,
                       double heightAdjust, Size handlerSize, const std::function<std::string()>& model = {});

/// This machine's model name; "" when the firmware gives none.
std::string machineModel();

} // namespace ScreenGeometryResolver
