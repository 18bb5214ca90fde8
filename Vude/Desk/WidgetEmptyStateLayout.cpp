#include "Vude/Desk/WidgetEmptyStateLayout.h"

#include <algorithm>

double WidgetEmptyStateLayout::textWidth(double width)
{
    return std::max(0.0, width - 2 * sidePadding);
}

WidgetEmptyStateLayout WidgetEmptyStateLayout::layout(const Rect& bounds, const Measures& measures)
{
    WidgetEmptyStateLayout result;
    double height = measures.symbol + spacing + measures.message.height;
    if (measures.detail)
        height += textSpacing + measures.detail->height;
    std::optional<Size> button;
    if (measures.buttonLabel) {
        button = Size{measures.buttonLabel->width + 2 * buttonPaddingX,
                      measures.buttonLabel->height + 2 * buttonPaddingY};
        height += spacing + button->height;
    }
    result.height = height;

    const double centreX = bounds.x + bounds.width / 2;
    const auto centred = [&](double y, Size size) {
        return Rect{centreX - size.width / 2, y, size.width, size.height};
    };
    double y = bounds.y + (bounds.height - height) / 2;
    result.symbol = centred(y, {measures.symbol, measures.symbol});
    y += measures.symbol + spacing;
    result.message = centred(y, measures.message);
    y += measures.message.height;
    if (measures.detail) {
        y += textSpacing;
        result.detail = centred(y, *measures.detail);
        y += measures.detail->height;
    }
    if (button)
        result.button = centred(y + spacing, *button);
    return result;
}
