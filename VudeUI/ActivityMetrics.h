#pragma once
// How wide the activity pill must be so its leading glyph and text fit left of
// the camera housing and its trailing accessory right of it. Both wings get
// the same width, so the pill stays centred on the housing.

#include "VudeKit/ActivityModels.h"
#include "VudeUI/TextMeasurer.h"

#include <string_view>

class ActivityMetrics {
public:
    /// `measurer` must outlive the metrics.
    explicit ActivityMetrics(const TextMeasurer& measurer) : m_measurer(measurer) {}

    /// The full pill width in points, including the camera housing
    /// (`cutoutWidth`) and the caller's extra chrome (`chromePadding`).
    double width(const ActivityPayload& payload, bool expanded, double cutoutWidth, double chromePadding) const;
    /// The glyph and text on the leading side.
    double leadingWidth(const ActivityPayload& payload, bool expanded) const;
    /// The glyph and the gap after it: 27, or the artwork's side plus the
    /// gap when that is more (22 + 9 compact, 34 + 9 expanded); 0 for none.
    static double glyphWidth(const ActivityGlyph& glyph, bool expanded);
    /// The accessory on the trailing side.
    double trailingWidth(const ActivityTrailing& trailing) const;
    /// `text` in the system font at `size` and `weight`, rounded up to a whole point.
    double measure(std::string_view text, double size, Vude::FontWeight weight) const;

    static constexpr double kGlyphWidth = 27;
    static constexpr double kGlyphSpacing = 9;
    static constexpr double kCompactArtworkSide = 22;
    static constexpr double kExpandedArtworkSide = 34;
    static constexpr double kBarWidth = 88;
    static constexpr double kWaveformWidth = 42;
    static constexpr double kTextPadding = 8;
    static constexpr double kSidePadding = 14;
    static constexpr double kMinimumWing = 70;
    static constexpr double kMaximumWing = 320;

private:
    const TextMeasurer& m_measurer;
};
