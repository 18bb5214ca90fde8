#pragma once
// Where the ambient now-playing item goes: a row 26 high with the artwork
// against the left of the notch and the waveform against its right, each in a
// 46-point frame, and, while hovered, a row of title and artist labels
// beneath, the whole stack centred. The top row keeps its width even where the
// padded content is narrower (it overhangs the padding, never the surface).

#include "VudeKit/Geometry.h"

#include <optional>
#include <utility>

struct AmbientMediaLayout {
    static constexpr double rowHeight = 26;
    static constexpr double sideWidth = 46;
    static constexpr double artworkSide = 26;
    static constexpr double artworkCornerRadius = 7;
    static constexpr double placeholderSymbolSize = 11;
    /// Between the top row and the labels.
    static constexpr double stackSpacing = 4;
    /// Between the two labels.
    static constexpr double labelSpacing = 12;
    /// Between a label's symbol and its text.
    static constexpr double labelIconSpacing = 4;
    static constexpr double labelFontSize = 12;

    struct Frames {
        Rect topRow;
        Rect artwork;
        Rect cutout;
        /// The waveform's 46-point frame; the meter sits at its leading edge.
        Rect waveformFrame;
        /// Present while the labels show.
        std::optional<Rect> labelRow;
    };
    /// The frames in `content` around a cutout `cutoutWidth` wide, with a
    /// label row `labelRowHeight` high. The row shows at `labelPresence` 1
    /// and is gone at 0; between the two (while it fades) the stack takes a
    /// share of the row's height, so the top row glides instead of jumping.
    static Frames frames(const Rect& content, double cutoutWidth, double labelRowHeight, double labelPresence);

    /// The widths two labels get in `available` points with the spacing
    /// between them; 0 stands for an absent label (and takes no spacing).
    /// Labels that fit keep their width; otherwise a label narrower than
    /// half keeps its width and the other is cut to the rest.
    static std::pair<double, double> labelWidths(double first, double second, double available);
};
