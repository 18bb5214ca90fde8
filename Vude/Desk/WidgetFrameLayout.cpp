#include "Vude/Desk/WidgetFrameLayout.h"

#include <algorithm>

WidgetFrameLayout WidgetFrameLayout::layout(const Rect& cell, Size contentMaximum, Qt::Alignment alignment,
                                            std::optional<Size> trailing)
{
    WidgetFrameLayout result;
    const double width = std::clamp(contentMaximum.width, 0.0, std::max(0.0, cell.width));
    const double height = std::clamp(contentMaximum.height, 0.0, std::max(0.0, cell.height));
    double x = cell.x + (cell.width - width) / 2;
    if (alignment & Qt::AlignLeft)
        x = cell.x;
    else if (alignment & Qt::AlignRight)
        x = cell.x + cell.width - width;
    double y = cell.y + (cell.height - height) / 2;
    if (alignment & Qt::AlignTop)
        y = cell.y;
    else if (alignment & Qt::AlignBottom)
        y = cell.y + cell.height - height;
    result.content = {x, y, width, height};
    if (trailing)
        result.trailing = Rect{cell.x + cell.width - trailing->width, cell.y, trailing->width, trailing->height};
    return result;
}
