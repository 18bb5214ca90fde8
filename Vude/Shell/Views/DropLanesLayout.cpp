#include "Vude/Shell/Views/DropLanesLayout.h"

#include "VudeKit/Numbers.h"

#include <algorithm>
#include <variant>

namespace {

Vude::Color mix(const Vude::Color& from, const Vude::Color& to, double t)
{
    const auto channel = [t](int a, int b) {
        return std::uint32_t(std::clamp(saturatingRound<int>(a + (b - a) * t), 0, 255));
    };
    const std::uint32_t hex = channel(from.red255(), to.red255()) << 16 | channel(from.green255(), to.green255()) << 8
                              | channel(from.blue255(), to.blue255());
    return Vude::Color(hex, from.opacity() + (to.opacity() - from.opacity()) * t);
}

} // namespace

std::string DropLanesLayout::fileCountText(long long count)
{
    if (count == 1)
        return "1 file";
    return formatInteger(count) + " files";
}

std::optional<std::size_t> DropLanesLayout::hoveredIndex(std::optional<int> hovered, std::size_t laneCount)
{
    if (!hovered || *hovered < 0 || std::size_t(*hovered) >= laneCount)
        return std::nullopt;
    return std::size_t(*hovered);
}

DropLanesLayout DropLanesLayout::layout(const Rect& bounds, const std::vector<DropLane>& lanes,
                                        std::optional<int> hovered, long long fileCount,
                                        const std::vector<double>& progress)
{
    DropLanesLayout result;
    result.fileCount = fileCountText(fileCount);
    const std::optional<std::size_t> lit = hoveredIndex(hovered, lanes.size());
    const double width = lanes.empty() ? 0 : bounds.width / double(lanes.size());
    for (std::size_t i = 0; i < lanes.size(); ++i) {
        const DropLane& lane = lanes[i];
        Cell cell;
        cell.frame = {bounds.x + width * double(i), bounds.y, width, bounds.height};
        cell.background = {cell.frame.x + backgroundInset, cell.frame.y + backgroundInset,
                           std::max(0.0, cell.frame.width - 2 * backgroundInset),
                           std::max(0.0, cell.frame.height - 2 * backgroundInset)};
        cell.isHovered = lit == i;
        cell.isDestination = lane.isPrimary();
        if (std::holds_alternative<DropLane::Shelf>(lane.value()))
            cell.rest = Background::dashed;
        else if (std::holds_alternative<DropLane::AirDrop>(lane.value()))
            cell.rest = Background::filled;
        cell.hover = progress.size() == lanes.size() ? std::clamp(progress[i], 0.0, 1.0) : (cell.isHovered ? 1.0 : 0.0);
        cell.scale = 1 + (hoveredScale - 1) * cell.hover;
        cell.symbol = std::string(lane.symbol());
        cell.label = std::string(lane.displayName());
        cell.symbolSize = cell.isDestination ? 19 : 15;
        cell.symbolFrame = cell.isDestination ? 22 : 18;
        cell.labelSize = cell.isDestination ? 11 : 9;
        cell.labelWeight = cell.isDestination ? Vude::FontWeight::semibold : Vude::FontWeight::medium;
        cell.horizontalPadding = cell.isDestination ? 10 : 5;
        cell.foreground = mix(cell.isDestination ? Vude::Stone::x100 : Vude::Stone::x300, Vude::Accent::on, cell.hover);
        result.cells.push_back(std::move(cell));
    }
    return result;
}
