#pragma once
// Where the parts of an activity pill go: the leading glyph and text block in
// the left wing, the camera housing's empty cutout in the middle, the
// trailing accessory in the right wing. Both wings share what the cutout
// leaves of the content; the left one aligns to its leading edge, the right
// one to its trailing edge, and everything is centred vertically. Plain
// values: the view measures its texts and draws where these say.

#include "VudeKit/ActivityModels.h"
#include "VudeKit/Geometry.h"
#include "VudeUI/ActivityMetrics.h"

struct ActivityPillLayout {
    /// Between the glyph and the text block.
    static constexpr double leadingSpacing = ActivityMetrics::kGlyphSpacing;
    /// Between the right wing's spacer and the accessory.
    static constexpr double trailingSpacing = 8;
    /// Between the title and the subtitle.
    static constexpr double lineSpacing = 1;

    /// Symbols are set at 14 points in a square this big.
    static constexpr double symbolPointSize = 14;
    static constexpr double symbolFrame = 18;
    static constexpr double compactArtworkSize = ActivityMetrics::kCompactArtworkSide;
    static constexpr double expandedArtworkSize = ActivityMetrics::kExpandedArtworkSide;
    static constexpr double ringSide = 16;
    static constexpr double ringLineWidth = 2.5;
    static constexpr Size barSize{92, 4};
    /// The waveform accessory: bars 2.5 wide and apart, 3 to 14 high.
    static constexpr double waveformBarWidth = 2.5;
    static constexpr double waveformSpacing = 2.5;
    static constexpr double waveformMaxHeight = 14;
    static constexpr double waveformMinHeight = 3;

    /// The text block shows when expanded, or when there is no subtitle: a
    /// compact pill with a subtitle shows its glyph and accessory only.
    static bool showsTextBlock(const ActivityPayload& payload, bool expanded);
    /// The subtitle line shows only when expanded.
    static bool showsSubtitle(const ActivityPayload& payload, bool expanded);

    /// The glyph's frame; zero for none.
    static Size glyphSize(const ActivityGlyph& glyph, bool expanded);
    /// The filled part of the 92-point bar: empty below 0 (NaN too), full
    /// above 1.
    static double barFillWidth(double value);
    /// The share of the ring drawn, from 0 to 1 (NaN draws nothing).
    static double ringFraction(double fraction);

    struct Frames {
        Rect leftWing;
        Rect cutout;
        Rect rightWing;
        Rect glyph;
        /// The room for the text block: after the glyph to the wing's end, at
        /// the content's full height (lines are truncated to its width).
        Rect text;
        Rect accessory;
    };
    /// The frames inside `content` for a glyph and an accessory of the given
    /// sizes, around a cutout `cutoutWidth` wide.
    static Frames frames(const Rect& content, double cutoutWidth, Size glyph, Size accessory);
};
