#include "Vude/Desk/MirrorLayout.h"

#include <algorithm>

MirrorLayout MirrorLayout::layout(double width, double symbolBox, Size text)
{
    MirrorLayout layout;
    layout.circle = {(width - side) / 2, 0, side, side};
    const double column = symbolBox + spacing + text.height;
    const double top = layout.circle.midY() - column / 2;
    layout.symbol = {layout.circle.midX() - symbolBox / 2, top, symbolBox, symbolBox};
    layout.text = {layout.circle.midX() - text.width / 2, top + symbolBox + spacing, text.width, text.height};
    return layout;
}

Rect MirrorLayout::aspectFillSource(Size image, Size target)
{
    if (image.width <= 0 || image.height <= 0 || target.width <= 0 || target.height <= 0)
        return {};
    // The scale that makes the picture cover the target on both axes.
    const double scale = std::max(target.width / image.width, target.height / image.height);
    const double width = std::min(image.width, target.width / scale);
    const double height = std::min(image.height, target.height / scale);
    return {(image.width - width) / 2, (image.height - height) / 2, width, height};
}
