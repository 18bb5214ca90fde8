#pragma once
// The lanes a file drag over the notch offers, and which lane lies under the
// pointer. Plain functions; the view model keeps the result.

#include "VudeKit/PipelineID.h"
#include "VudeKit/SettingsCatalogue.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <vector>

class PipelineRegistry;

namespace NotchDropLanes {

/// The tray and the sharing lane, then, when `pipelines` is given, a lane
/// for each pipeline that takes all of `files`, in the order of `enabled`
/// (the registry's order when it is empty). No files, no lanes.
std::vector<DropLane> lanes(const std::vector<std::filesystem::path>& files, const PipelineRegistry* pipelines,
                            const PipelineList& enabled);

/// The index of the lane under `x` when `count` lanes share `width` equally:
/// none with fewer than two lanes, no width, or `x` outside the lanes or not
/// a number. The index is truncated toward zero, so a point just left of the
/// first lane still counts as the first.
std::optional<int> laneAt(double x, double width, std::size_t count);

} // namespace NotchDropLanes
