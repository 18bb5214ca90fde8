#include "Vude/Desk/PipelineBannerLayout.h"

#include <algorithm>
#include <cmath>

PipelineBannerLayout PipelineBannerLayout::of(const PipelineRunState& state)
{
    PipelineBannerLayout banner;
    if (const auto* running = state.as<PipelineRunState::Running>()) {
        banner.kind = Kind::running;
        banner.fraction = std::isfinite(running->fraction) ? std::clamp(running->fraction, 0.0, 1.0) : 0.0;
        banner.text = running->title;
        banner.detail = running->detail;
    } else if (const auto* finished = state.as<PipelineRunState::Finished>()) {
        banner.kind = Kind::finished;
        banner.symbol = "checkmark.circle.fill";
        banner.symbolColor = Vude::Semantic::sage;
        banner.text = finished->result.summary();
        banner.showsUndo = !finished->result.produced.empty();
    } else if (const auto* failed = state.as<PipelineRunState::Failed>()) {
        banner.kind = Kind::failed;
        banner.symbol = "exclamationmark.triangle.fill";
        banner.symbolColor = Vude::Semantic::amber;
        banner.text = failed->message;
    }
    return banner;
}
