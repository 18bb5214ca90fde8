#include "Vude/Desk/QuickAppsLayout.h"

#include <algorithm>
#include <cmath>

QuickAppsLayout::Columns QuickAppsLayout::columns(double width, double minimumWidth, double spacing)
{
    const double step = minimumWidth + spacing;
    int count = 1;
    if (step > 0 && std::isfinite(width) && width > minimumWidth)
        count = std::max(1, int(std::floor((width + spacing) / step)));
    const double columnWidth = std::max(0.0, (width - (count - 1) * spacing) / count);
    return {count, columnWidth};
}

QuickAppsLayout QuickAppsLayout::layout(std::size_t count, double width, double minimumWidth, double spacing)
{
    const Columns grid = columns(width, minimumWidth, spacing);
    QuickAppsLayout layout;
    layout.cells.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const auto column = double(i % std::size_t(grid.count));
        const auto row = double(i / std::size_t(grid.count));
        layout.cells.push_back(
            {column * (grid.width + spacing), row * (tileHeight() + rowSpacing), grid.width, tileHeight()});
    }
    if (count > 0) {
        const auto rows = double((count + std::size_t(grid.count) - 1) / std::size_t(grid.count));
        layout.height = rows * tileHeight() + (rows - 1) * rowSpacing;
    }
    return layout;
}

QuickAppsLayout::Tile QuickAppsLayout::tile(const Rect& cell, double hover, bool missing)
{
    const double lift = missing ? 0 : hover;
    const double side = iconSide * (1 + (hoverScale - 1) * lift);
    const double centreY = cell.y + iconSide / 2;
    Tile tile;
    tile.icon = {cell.midX() - side / 2, centreY - side / 2, side, side};
    tile.iconOpacity = missing ? missingOpacity : 1;
    tile.shadowOpacity = std::max(0.0, shadowOpacity * lift);
    tile.dot = {cell.midX() - dotSide / 2, cell.y + iconSide + dotSpacing, dotSide, dotSide};
    return tile;
}
