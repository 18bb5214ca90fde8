#include "Vude/Shell/NotchDropLanes.h"

#include "VudeServices/PipelineRegistry.h"

#include <cmath>

namespace NotchDropLanes {

std::vector<DropLane> lanes(const std::vector<std::filesystem::path>& files, const PipelineRegistry* pipelines,
                            const PipelineList& enabled)
{
    if (files.empty())
        return {};
    std::vector<DropLane> result{DropLane::shelf(), DropLane::airDrop()};
    if (!pipelines)
        return result;
    for (const auto& pipeline : pipelines->lanes(files, enabled))
        result.push_back(DropLane::pipeline(pipeline->id()));
    return result;
}

std::optional<int> laneAt(double x, double width, std::size_t count)
{
    if (count < 2 || !(width > 0) || !std::isfinite(x) || !std::isfinite(width))
        return std::nullopt;
    const double index = std::trunc(x / (width / double(count)));
    if (index < 0 || index >= double(count))
        return std::nullopt;
    return int(index);
}

} // namespace NotchDropLanes
