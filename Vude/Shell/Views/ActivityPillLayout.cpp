#include "Vude/Shell/Views/ActivityPillLayout.h"

#include <algorithm>
#include <cmath>

bool ActivityPillLayout::showsTextBlock(const ActivityPayload& payload, bool expanded)
{
    return expanded || !payload.subtitle();
}

bool ActivityPillLayout::showsSubtitle(const ActivityPayload& payload, bool expanded)
{
    return expanded && payload.subtitle().has_value();
}

Size ActivityPillLayout::glyphSize(const ActivityGlyph& glyph, bool expanded)
{
    if (glyph.as<ActivityGlyph::Symbol>() || glyph.as<ActivityGlyph::SymbolTinted>())
        return {symbolFrame, symbolFrame};
    if (glyph.as<ActivityGlyph::Artwork>()) {
        const double side = expanded ? expandedArtworkSize : compactArtworkSize;
        return {side, side};
    }
    if (glyph.as<ActivityGlyph::ProgressRing>())
        return {ringSide, ringSide};
    return {};
}

double ActivityPillLayout::barFillWidth(double value)
{
    if (!(value >= 0))
        return 0;
    return barSize.width * std::min(value, 1.0);
}

double ActivityPillLayout::ringFraction(double fraction)
{
    if (!(fraction > 0))
        return 0;
    return std::min(fraction, 1.0);
}

ActivityPillLayout::Frames ActivityPillLayout::frames(const Rect& content, double cutoutWidth, Size glyph,
                                                      Size accessory)
{
    Frames f;
    const double cutout = std::max(0.0, cutoutWidth);
    const double wing = std::max(0.0, (content.width - cutout) / 2);
    f.leftWing = {content.x, content.y, wing, content.height};
    f.cutout = {content.x + wing, content.y, cutout, content.height};
    f.rightWing = {f.cutout.maxX(), content.y, wing, content.height};

    f.glyph = {f.leftWing.x, content.midY() - glyph.height / 2, glyph.width, glyph.height};
    const double textX = glyph.width > 0 ? f.glyph.maxX() + leadingSpacing : f.leftWing.x;
    f.text = {textX, content.y, std::max(0.0, f.leftWing.maxX() - textX), content.height};

    f.accessory = {f.rightWing.maxX() - accessory.width, content.midY() - accessory.height / 2, accessory.width,
                   accessory.height};
    return f;
}
