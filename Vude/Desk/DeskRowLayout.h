#pragma once
// Where the parts of a Desk list row go (the shortcuts', the clipboard's and
// the sound outputs' rows): a symbol in a column of its own width, the text
// beside it, a spacer, and an optional accessory at the trailing edge, all
// centred down the row inside its padding. The symbol column keeps its width
// whether or not the symbol draws, so the texts of a list start at one x.
// The text gets what is left and is cut to fit it.

#include "VudeKit/Geometry.h"

#include <optional>

struct DeskRowLayout {
    struct Metrics {
        double paddingX = 0;
        double paddingY = 0;
        /// The symbol's column.
        double symbolWidth = 0;
        /// Between the parts of the row.
        double spacing = 0;
        /// The least the spacer after the text takes.
        double minimumSpacer = 0;
    };

    Rect symbol;
    Rect text;
    std::optional<Rect> accessory;

    /// A row whose tallest part is `contentHeight` high.
    static double height(const Metrics& metrics, double contentHeight);
    /// The parts in a row of `row`'s size; `textWidth` is the text's own
    /// width on one line, `accessory` the accessory's size when there is one.
    static DeskRowLayout layout(Size row, const Metrics& metrics, double textWidth, std::optional<Size> accessory);
};
