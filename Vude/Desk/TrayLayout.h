#pragma once
// The tray tab's decisions as plain values: the header's texts, each chip's
// help text, the "all" chip's label, help and stacked cards, the sizes of
// the chips, and where the chip row puts them. TrayWidget and its chips
// paint what this says. Texts that name the other desktop's keys come from
// LinuxTexts.

#include "VudeKit/Geometry.h"

#include <cstddef>
#include <string>
#include <vector>

struct TrayLayout {
    /// Between the header and the chip row.
    static constexpr double stackSpacing = 7;
    static constexpr double headerSpacing = 6;
    static constexpr double headerTextSize = 10;
    /// Between the chips of the row.
    static constexpr double chipSpacing = 12;
    static constexpr double rowPaddingX = 4;
    static constexpr double rowPaddingY = 6;

    static constexpr double tileSide = 68;
    static constexpr double tileRadius = 8;
    static constexpr double thumbnailPadding = 3;
    /// What a chip asks the store for, in points.
    static constexpr double thumbnailSize = 56;
    static constexpr double hoverScale = 1.05;
    static constexpr double chipSpacingInside = 5;
    static constexpr double labelWidth = 86;
    static constexpr double nameSize = 10;
    static constexpr double subtitleSize = 8;
    static constexpr double placeholderSymbolSize = 24;
    static constexpr double removeSymbolSize = 14;
    static constexpr double removePadding = 3;

    static constexpr double allTileWidth = 72;
    static constexpr double allTileHeight = 70;
    static constexpr double cardSide = 62;
    static constexpr double cardTiltDegrees = 6;
    static constexpr double cardShift = 2;
    static constexpr std::size_t maxCards = 3;
    static constexpr double stackSymbolSize = 17;

    static constexpr double moreMinimumWidth = 130;
    static constexpr double moreHeight = 68;
    static constexpr double moreRadius = 10;

    /// One card of the "all" chip's stack, in drawing order.
    struct Card {
        double degrees = 0;
        double offsetX = 0;
        bool operator==(const Card&) const = default;
    };

    /// "1 item", else "<count> items".
    static std::string countText(std::size_t count);
    /// "drag out to copy" or "drag out to move".
    static std::string hintText(bool copyByDefault);
    /// The file's name and what a plain and an Alt drag do.
    static std::string chipHelp(const std::string& displayName, bool copyByDefault);
    /// "Drag all <count> items out together".
    static std::string allChipHelp(std::size_t count);
    /// "All <count>".
    static std::string allChipLabel(std::size_t count);
    /// One card per item up to three: −6°, 0°, +6°, shifted 2 points apiece.
    static std::vector<Card> cards(std::size_t count);
    /// The "all" chip leads the row from two items on.
    static bool showsAllChip(std::size_t count) { return count >= 2; }

    /// The chip row's places: `widths` of the chips in row order (the "all"
    /// chip included), then the drop zone, which takes what the viewport
    /// leaves (at least its minimum). Each chip is centred vertically in
    /// the row's height.
    struct Row {
        std::vector<Rect> chips;
        Rect more;
        /// The scrolled content's size.
        Size content;
    };
    static Row row(const std::vector<Size>& chips, Size viewport);
};
