#pragma once
// Where the mirror widget's parts go, and which part of a camera picture
// fills its circle. The circle sits at the top of the cell, centred across
// it. Without a picture a column of the symbol over the text, 4 points
// apart, is centred in the circle. A picture fills the whole circle: scaled
// uniformly until it covers the circle's square, centred, its overflow on
// the longer side cut (never letterboxed); then it is mirrored left to
// right. Rectangles are the content's coordinates, in points.

#include "VudeKit/Geometry.h"

#include <string_view>

struct MirrorLayout {
    static constexpr double side = 78;
    static constexpr double symbolSize = 20;
    static constexpr double textSize = 11;
    /// Between the symbol and the text.
    static constexpr double spacing = 4;
    /// The border, drawn inside the circle.
    static constexpr double borderWidth = 1;

    Rect circle;
    Rect symbol;
    Rect text;

    /// In content `width` wide, for a symbol box `symbolBox` square and a
    /// text line of `text`.
    static MirrorLayout layout(double width, double symbolBox, Size text);

    /// The part of a picture `image` big that, scaled uniformly, fills
    /// `target`: all of it across one axis, centred on the other. Empty for an
    /// empty picture or target.
    static Rect aspectFillSource(Size image, Size target);

    /// What the circle says without a picture: waiting for the camera, or
    /// without access to it.
    static std::string_view symbolName(bool denied) { return denied ? "video.slash" : "person.crop.circle"; }
    static std::string_view caption(bool denied) { return denied ? "No access" : "Mirror"; }
};
