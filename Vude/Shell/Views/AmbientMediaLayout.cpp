#include "Vude/Shell/Views/AmbientMediaLayout.h"

#include <algorithm>

AmbientMediaLayout::Frames AmbientMediaLayout::frames(const Rect& content, double cutoutWidth, double labelRowHeight,
                                                      double labelPresence)
{
    Frames f;
    const double cutout = std::max(0.0, cutoutWidth);
    const double presence = labelPresence > 0 ? std::min(labelPresence, 1.0) : 0.0;
    const double rowHeightOfLabels = std::max(0.0, labelRowHeight);
    const double labels = presence * (stackSpacing + rowHeightOfLabels);
    const double stackTop = content.midY() - (rowHeight + labels) / 2;
    const double rowWidth = 2 * sideWidth + cutout;
    f.topRow = {content.midX() - rowWidth / 2, stackTop, rowWidth, rowHeight};
    f.cutout = {f.topRow.x + sideWidth, stackTop, cutout, rowHeight};
    f.artwork = {f.cutout.x - artworkSide, f.topRow.midY() - artworkSide / 2, artworkSide, artworkSide};
    f.waveformFrame = {f.cutout.maxX(), stackTop, sideWidth, rowHeight};
    if (presence > 0)
        f.labelRow = Rect{content.x, f.topRow.maxY() + stackSpacing, content.width, rowHeightOfLabels};
    return f;
}

std::pair<double, double> AmbientMediaLayout::labelWidths(double first, double second, double available)
{
    first = std::max(0.0, first);
    second = std::max(0.0, second);
    const double spacing = first > 0 && second > 0 ? labelSpacing : 0;
    const double room = std::max(0.0, available - spacing);
    if (first + second <= room)
        return {first, second};
    const double half = room / 2;
    if (first <= half)
        return {first, room - first};
    if (second <= half)
        return {room - second, second};
    return {half, half};
}
