#include "VudeKit/WidgetLayout.h"

#include <algorithm>
#include <array>

namespace {

constexpr auto kCatalogue = allCases<WidgetID>();

bool isInCatalogue(WidgetID id)
{
    const auto index = static_cast<std::size_t>(id);
    return index < kCatalogue.size();
}

} // namespace

std::vector<WidgetID> WidgetLayoutEngine::normalise(const std::vector<WidgetID>& order)
{
    std::array<bool, kCatalogue.size()> seen{};
    std::vector<WidgetID> result;
    result.reserve(kCatalogue.size());
    const auto keepFirst = [&](WidgetID id) {
        // A value outside the catalogue (a cast from bad data) is dropped.
        if (!isInCatalogue(id) || seen[static_cast<std::size_t>(id)])
            return;
        seen[static_cast<std::size_t>(id)] = true;
        result.push_back(id);
    };
    std::for_each(order.begin(), order.end(), keepFirst);
    std::for_each(kCatalogue.begin(), kCatalogue.end(), keepFirst);
    return result;
}

int WidgetLayoutEngine::clampCells(int cells, WidgetID id)
{
    return std::min(std::max(cells, minCells(id)), maxCells(id));
}

ZeriRuvuzi WidgetLayoutEngine::layout(const std::vector<WidgetID>& order, const std::unordered_set<WidgetID>& enabled,
                                      const std::unordered_map<WidgetID, int>& cells, double available) const
{
    ZeriRuvuzi row;
    // A NaN width reads as "no narrower than the maximum".
    const double limit = std::min(maxWidth, available);
    double end = contentPadding;
    for (const WidgetID id : normalise(order)) {
        if (!enabled.contains(id))
            continue;
        const auto stored = cells.find(id);
        const int c = clampCells(stored != cells.end() ? stored->second : defaultCells(id), id);
        const double width = c * cellWidth;
        const bool first = row.placements.empty();
        const double start = end + (first ? 0 : gap);
        if (first || start + width + contentPadding <= limit) {
            row.placements.push_back({id, c, width, start});
            end = start + width;
        } else {
            row.overflow.push_back(id);
        }
    }
    if (!row.isEmpty())
        row.totalWidth = std::min(limit, end + contentPadding);
    return row;
}

std::vector<WidgetID> WidgetLayoutEngine::move(const std::vector<WidgetID>& order, int from, int to)
{
    auto result = normalise(order);
    const int count = static_cast<int>(result.size());
    if (from < 0 || from >= count)
        return result;
    const WidgetID moved = result[from];
    result.erase(result.begin() + from);
    const int target = std::min(count - 1, std::max(to, 0));
    result.insert(result.begin() + target, moved);
    return result;
}
