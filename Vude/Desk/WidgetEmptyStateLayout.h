#pragma once
// Where the parts of a widget's empty state go: a symbol over a message,
// an optional detail line under it and an optional button at the bottom, as
// one column centred across the bounds (less 8 on either side) and down
// them. An absent detail or button takes no space at all.
//
// The view measures (the symbol's box, the texts wrapped at textWidth, the
// button's label) and this places; rectangles are the view's coordinates.

#include "VudeKit/Geometry.h"

#include <optional>

struct WidgetEmptyStateLayout {
    static constexpr double symbolSize = 20;
    static constexpr double textSize = 12;
    /// Between the symbol, the texts and the button.
    static constexpr double spacing = 8;
    /// Between the message and the detail.
    static constexpr double textSpacing = 1;
    static constexpr double sidePadding = 8;
    static constexpr double buttonPaddingX = 14;
    static constexpr double buttonPaddingY = 6;

    struct Measures {
        /// The symbol's square box.
        double symbol = 0;
        /// The message wrapped at textWidth.
        Size message;
        std::optional<Size> detail;
        /// The button's label on one line.
        std::optional<Size> buttonLabel;
    };

    Rect symbol;
    Rect message;
    std::optional<Rect> detail;
    std::optional<Rect> button;
    /// The column's own height: what the empty state asks for.
    double height = 0;

    /// The width the texts wrap at in bounds `width` wide.
    static double textWidth(double width);
    static WidgetEmptyStateLayout layout(const Rect& bounds, const Measures& measures);
};
