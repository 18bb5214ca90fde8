#pragma once
// Where a Desk widget's frame puts its content and its trailing accessory in
// a cell: the content fills the cell (or, when it cannot grow that large,
// takes its largest size, placed by the alignment); the accessory sits in
// the top-trailing corner over it at its own size. The accessory never
// moves or shrinks the content.

#include "VudeKit/Geometry.h"

#include <Qt>

#include <optional>

struct WidgetFrameLayout {
    Rect content;
    std::optional<Rect> trailing;

    /// `contentMaximum` is the most the content can take (unbounded: as
    /// large as the cell or larger).
    static WidgetFrameLayout layout(const Rect& cell, Size contentMaximum, Qt::Alignment alignment,
                                    std::optional<Size> trailing);
};
