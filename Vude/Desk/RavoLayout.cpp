#include "Vude/Desk/RavoLayout.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

Rect centredVertically(double x, const Rect& band, Size size)
{
    return {x, band.y + (band.height - size.height) / 2, size.width, size.height};
}

} // namespace

double RavoLayout::sideZone(double contentWidth, double notchWidth, double inset)
{
    return std::max(0.0, (contentWidth - 2 * inset - notchWidth) / 2);
}

double RavoLayout::extraWidth(double contentWidth, double inset, const std::vector<double>& widths)
{
    if (widths.empty())
        return 0;
    const double count = double(widths.size());
    const double used = std::accumulate(widths.begin(), widths.end(), 0.0) + (count - 1) * gap;
    return std::max(0.0, (contentWidth - 2 * inset - used) / count);
}

RavoLayout RavoLayout::layout(const Input& input)
{
    RavoLayout result;
    const double width = input.content.width;
    const double available = std::max(0.0, width - 2 * input.inset);
    result.sideZoneWidth = sideZone(width, input.notch.width, input.inset);
    result.extraWidthPerWidget = extraWidth(width, input.inset, input.widths);

    // Header: the tab zone, the notch, the action zone, centred in the
    // width between the insets (they overflow it alike when it is narrower
    // than the notch).
    const double headerHeight = std::max(input.notch.height, input.headerHeight);
    result.header = {input.inset, 0, available, headerHeight};
    const double side = result.sideZoneWidth;
    const double zonesLeft = input.inset + (available - (2 * side + input.notch.width)) / 2;
    result.deskTab = centredVertically(zonesLeft, result.header, input.deskTab);
    result.trayTab = centredVertically(result.deskTab.maxX() + tabSpacing, result.header, input.trayTab);
    const double zonesRight = zonesLeft + 2 * side + input.notch.width;
    result.close = centredVertically(zonesRight - input.close.width, result.header, input.close);
    result.settings =
        centredVertically(result.close.x - actionSpacing - input.settings.width, result.header, input.settings);
    result.badge = {result.trayTab.maxX() - badgeSide + badgeOffsetX, result.trayTab.y + badgeOffsetY, badgeSide,
                    badgeSide};

    // Content.
    const double top = headerHeight + headerSpacing;
    result.content = {input.inset, top, available, std::max(0.0, input.content.height - top)};
    const double rowHeight = std::max(0.0, result.content.height - rowBottomPadding);
    result.emptyState = {result.content.x, top, available, rowHeight};
    result.tray = {result.content.x, top, available, std::max(0.0, result.content.height - trayBottomPadding)};

    // The widget row, centred (it fills the width exactly unless it is too
    // wide for it).
    const double extra = result.extraWidthPerWidget;
    double rowWidth = 0;
    for (const double cell : input.widths)
        rowWidth += cell + extra;
    rowWidth += gap * double(std::max<std::size_t>(input.widths.size(), 1) - 1);
    const double rowLeft = input.inset + (available - rowWidth) / 2;
    double running = rowLeft;
    for (std::size_t i = 0; i < input.widths.size(); ++i) {
        if (i > 0)
            running += gap;
        const double left = std::round(running);
        running += input.widths[i] + extra;
        const double right = std::round(running);
        result.cells.push_back({left, top, right - left, rowHeight});
        if (i > 0)
            result.dividers.push_back({left - gap / 2, top, dividerWidth, rowHeight});
    }
    return result;
}
