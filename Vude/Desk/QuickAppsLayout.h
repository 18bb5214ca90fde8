#pragma once
// Where the quick apps grid puts its tiles and how a tile looks: as many
// columns of at least the minimum width as the width takes, stretched evenly
// with the spacing between them, tiles row by row in the apps' order; in a
// tile, the 46-point icon square over the running dot, grown and shadowed
// while hovered, dimmed while its application is missing.

#include "VudeKit/Geometry.h"

#include <cstddef>
#include <vector>

struct QuickAppsLayout {
    static constexpr double iconSide = 46;
    /// Between the icon and the running dot.
    static constexpr double dotSpacing = 3;
    static constexpr double dotSide = 4;
    static constexpr double rowSpacing = 12;
    static constexpr double hoverScale = 1.1;
    static constexpr double missingOpacity = 0.35;
    static constexpr double shadowOpacity = 0.45;
    static constexpr double shadowRadius = 7;
    static constexpr double shadowOffsetY = 3;
    /// The square shown without an icon.
    static constexpr double placeholderCornerRadius = 11;
    static constexpr double placeholderSymbolSize = 17;

    struct Columns {
        int count = 1;
        double width = 0;
        bool operator==(const Columns&) const = default;
    };

    /// The tiles' cells in a grid `width` wide, and the grid's height.
    std::vector<Rect> cells;
    double height = 0;

    /// One column at least, however narrow the width.
    static Columns columns(double width, double minimumWidth, double spacing);
    static double tileHeight() { return iconSide + dotSpacing + dotSide; }
    static QuickAppsLayout layout(std::size_t count, double width, double minimumWidth, double spacing);

    /// How a tile in `cell` is drawn.
    struct Tile {
        /// The icon square, scaled about its centre.
        Rect icon;
        double iconOpacity = 1;
        /// The shadow's opacity; 0 draws none.
        double shadowOpacity = 0;
        Rect dot;
        bool operator==(const Tile&) const = default;
    };
    /// `hover` runs from 0 (at rest) to 1 (hovered) on the hover spring; a
    /// missing application neither grows nor casts a shadow.
    static Tile tile(const Rect& cell, double hover, bool missing);
};
