#include "Vude/Desk/DeskRowLayout.h"

#include <algorithm>

double DeskRowLayout::height(const Metrics& metrics, double contentHeight)
{
    return std::max(0.0, contentHeight) + 2 * metrics.paddingY;
}

DeskRowLayout DeskRowLayout::layout(Size row, const Metrics& metrics, double textWidth,
                                    std::optional<Size> accessory)
{
    const double top = metrics.paddingY;
    const double inner = std::max(0.0, row.height - 2 * metrics.paddingY);
    const double right = row.width - metrics.paddingX;
    DeskRowLayout layout;
    layout.symbol = {metrics.paddingX, top, metrics.symbolWidth, inner};
    double textRight = right - metrics.spacing - metrics.minimumSpacer;
    if (accessory) {
        const double x = right - accessory->width;
        layout.accessory = Rect{x, top + (inner - accessory->height) / 2, accessory->width, accessory->height};
        textRight = x - metrics.spacing - metrics.minimumSpacer - metrics.spacing;
    }
    const double textX = layout.symbol.maxX() + metrics.spacing;
    layout.text = {textX, top, std::clamp(textWidth, 0.0, std::max(0.0, textRight - textX)), inner};
    return layout;
}
