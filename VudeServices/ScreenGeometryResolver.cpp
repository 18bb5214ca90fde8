#include "VudeServices/ScreenGeometryResolver.h"

#include "Platform/Core/MachineModel.h"

#include <algorithm>
#include <cmath>

namespace {

double adjusted(double base, double adjustment, double minimum)
{
    const double sum = base + adjustment;
    if (!std::isfinite(sum))
        return minimum;
    return std::max(sum, minimum);
}

double notchWidthFor(const std::string& model)
{
    for (const auto& [name, width] : notchWidthByModel) {
        if (name == model)
            return width;
    }
    return kDefaultNotchWidth;
}

} // namespace

namespace ScreenGeometryResolver {

NotchGeometry geometry(const ScreenDescription& screen, const ScreenCoordinates& coordinates, double widthAdjust,
                       double heightAdjust, Size handlerSize, const std::function<std::string()>& model)
{
    const Rect frame = coordinates.fromTopLeft(screen.frame);
    const Rect visibleFrame = coordinates.fromTopLeft(screen.visibleFrame);
    const double top = screen.safeAreaTop;
    const bool hasNotch = top > 0;

    double baseWidth = 0;
    double baseHeight = 0;
    double leftEdge = 0;
    if (hasNotch && screen.auxiliaryTopLeftArea && screen.auxiliaryTopRightArea) {
        const double leftWidth = screen.auxiliaryTopLeftArea->width;
        baseWidth = frame.width - leftWidth - screen.auxiliaryTopRightArea->width;
        leftEdge = frame.minX() + leftWidth;
        baseHeight = top;
    } else if (hasNotch) {
        baseWidth = notchWidthFor(model ? model() : machineModel());
        leftEdge = frame.midX() - baseWidth / 2;
        baseHeight = top;
    } else {
        baseWidth = handlerSize.width;
        baseHeight = handlerSize.height;
        leftEdge = frame.midX() - handlerSize.width / 2;
    }

    const Size size{adjusted(baseWidth, widthAdjust, kMinimumNotchWidth),
                    adjusted(baseHeight, heightAdjust, kMinimumNotchHeight)};
    // A handler of no usable width still sits in the middle of the screen.
    if (!std::isfinite(leftEdge))
        leftEdge = frame.midX() - size.width / 2;

    return {
        .displayID = screen.displayNumber,
        .screenFrame = frame,
        .hasHardwareNotch = hasNotch,
        .notchSize = size,
        .notchOrigin = {leftEdge, frame.maxY() - size.height},
        .menuBarHeight = frame.maxY() - visibleFrame.maxY(),
        .backingScale = screen.backingScale,
        .maximumFramesPerSecond = screen.maximumFramesPerSecond,
    };
}

std::string machineModel()
{
    return ::machineModel();
}

} // namespace ScreenGeometryResolver
