#include "VudeUI/ActivityMetrics.h"

#include "VudeUI/PercentText.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kTitleSize = 13;
constexpr double kSubtitleSize = 11;
constexpr double kAccessorySize = 11;

} // namespace

double ActivityMetrics::measure(std::string_view text, double size, Vude::FontWeight weight) const
{
    const double width = m_measurer.width(text, size, weight);
    return std::isfinite(width) && width > 0 ? std::ceil(width) : 0;
}

double ActivityMetrics::glyphWidth(const ActivityGlyph& glyph, bool expanded)
{
    if (glyph.as<ActivityGlyph::None>())
        return 0;
    // Artwork is drawn larger than a symbol; counting it as a symbol would
    // cut the title short by the difference in every artwork pill.
    if (glyph.as<ActivityGlyph::Artwork>())
        return std::max(kGlyphWidth, (expanded ? kExpandedArtworkSide : kCompactArtworkSide) + kGlyphSpacing);
    return kGlyphWidth;
}

double ActivityMetrics::leadingWidth(const ActivityPayload& payload, bool expanded) const
{
    const double glyph = glyphWidth(payload.leading(), expanded);
    const auto& title = payload.title();
    const auto& subtitle = payload.subtitle();
    const auto titleWidth = [&] { return title ? measure(*title, kTitleSize, Vude::FontWeight::semibold) : 0.0; };

    double text = 0;
    if (expanded) {
        const double titleLine = titleWidth();
        const double subtitleLine = subtitle ? measure(*subtitle, kSubtitleSize, Vude::FontWeight::regular) : 0.0;
        text = std::max(titleLine, subtitleLine);
    } else if (!subtitle) {
        // A collapsed pill with a subtitle shows no text, so reserves none.
        text = titleWidth();
    }
    return glyph + text;
}

double ActivityMetrics::trailingWidth(const ActivityTrailing& trailing) const
{
    if (trailing.as<ActivityTrailing::Bar>())
        return kBarWidth;
    if (const auto* percent = trailing.as<ActivityTrailing::Percent>())
        return measure(percentText(percent->fraction), kAccessorySize, Vude::FontWeight::medium) + kTextPadding;
    if (trailing.as<ActivityTrailing::Waveform>())
        return kWaveformWidth;
    if (const auto* text = trailing.as<ActivityTrailing::Text>())
        return measure(text->text, kAccessorySize, Vude::FontWeight::medium) + kTextPadding;
    return 0;
}

double ActivityMetrics::width(const ActivityPayload& payload, bool expanded, double cutoutWidth,
                              double chromePadding) const
{
    const double side = std::max(leadingWidth(payload, expanded), trailingWidth(payload.trailing())) + kSidePadding;
    const double wing = side < kMinimumWing ? kMinimumWing : std::min(side, kMaximumWing);
    return 2 * wing + cutoutWidth + chromePadding;
}
