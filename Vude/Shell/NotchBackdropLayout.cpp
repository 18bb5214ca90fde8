#include "Vude/Shell/NotchBackdropLayout.h"

#include <algorithm>

Size NotchBackdropLayout::shapeSize(Size drawnCanvas)
{
    return {std::max(drawnCanvas.width - 12, 1.0), std::max(drawnCanvas.height - 6, 1.0)};
}

Rect NotchBackdropLayout::unclippedFrame(Rect panelFrame, Size drawnCanvas)
{
    const Size shape = shapeSize(drawnCanvas);
    const double x = panelFrame.midX() - shape.width * 0.5;
    return {x - feather, panelFrame.minY(), shape.width + 2 * feather, shape.height + feather};
}

std::optional<NotchBackdropLayout::Placement> NotchBackdropLayout::place(Rect panelFrame, Size drawnCanvas,
                                                                          Rect screenFrame)
{
    const Rect full = unclippedFrame(panelFrame, drawnCanvas);
    const double left = std::max(full.minX(), screenFrame.minX());
    const double top = std::max(full.minY(), screenFrame.minY());
    const double right = std::min(full.maxX(), screenFrame.maxX());
    const double bottom = std::min(full.maxY(), screenFrame.maxY());
    if (!(right - left > 1) || !(bottom - top > 1))
        return std::nullopt;
    Placement placement;
    placement.frame = {left, top, right - left, bottom - top};
    placement.glowRect = {full.minX() - left, full.minY() - top, full.width, full.height};
    placement.windowSize = full.size();
    placement.shapeSize = shapeSize(drawnCanvas);
    return placement;
}
