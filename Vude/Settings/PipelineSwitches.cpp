#include "Vude/Settings/PipelineSwitches.h"

#include <algorithm>

namespace PipelineSwitches {

bool isOn(const PipelineList& order, PipelineID pipeline)
{
    return order.empty() || std::ranges::find(order, pipeline) != order.end();
}

Change setOn(const PipelineList& order, PipelineID pipeline, bool on)
{
    PipelineList list = order;
    if (list.empty()) {
        const auto every = allCases<PipelineID>();
        list.assign(every.begin(), every.end());
    }
    if (on) {
        if (std::ranges::find(list, pipeline) == list.end())
            list.push_back(pipeline);
    } else {
        std::erase(list, pipeline);
    }
    if (list.empty())
        return Change{PipelineList{pipeline}, true};
    return Change{std::move(list), false};
}

} // namespace PipelineSwitches
