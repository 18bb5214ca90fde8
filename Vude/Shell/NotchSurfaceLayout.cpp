#include "Vude/Shell/NotchSurfaceLayout.h"

#include <algorithm>
#include <cmath>

NotchSurfaceLayout::Target NotchSurfaceLayout::target(const NotchState& state, Size contentSize, double contentPadding)
{
    Target target;
    target.width = contentSize.width + extraWidth;
    target.height = contentSize.height;
    target.bottomRadius = state.isOpen() ? openBottomRadius : restingBottomRadius;
    target.horizontalPadding = state.isOpen() ? openPadding : contentPadding + paddingBeyondSetting;
    target.opacity = state.kind() == NotchState::Kind::hidden ? 0 : 1;
    return target;
}

Rect NotchSurfaceLayout::surfaceRect(double viewWidth, Size size)
{
    return {(viewWidth - size.width) / 2, 0, size.width, size.height};
}

Rect NotchSurfaceLayout::contentRect(const Rect& surface, double horizontalPadding)
{
    const double width = std::max(0.0, surface.width - 2 * horizontalPadding);
    return {surface.midX() - width / 2, surface.y, width, surface.height};
}

NotchSurfaceLayout::Content NotchSurfaceLayout::content(const NotchState& state, std::size_t laneCount)
{
    switch (state.kind()) {
    case NotchState::Kind::hidden:
    case NotchState::Kind::closed:
        return Content::none;
    case NotchState::Kind::peek:
    case NotchState::Kind::activity: {
        const ActivityPayload& payload = *state.payload();
        // A peek of the ambient item draws it ambiently too, though the
        // sizing gives a peek its own size.
        const bool ambient =
            payload.kind() == ActivityKind::nowPlaying && payload.priority() == ActivityPriority::ambient;
        return ambient ? Content::ambientMedia : Content::pill;
    }
    case NotchState::Kind::activityExpanded:
        return Content::expandedPill;
    case NotchState::Kind::open:
        return Content::desk;
    case NotchState::Kind::dropTarget:
        return laneCount < 2 ? Content::dropPrompt : Content::dropLanes;
    }
    return Content::none;
}

NotchSurfaceLayout::Transition NotchSurfaceLayout::transition(Content content)
{
    switch (content) {
    case Content::pill:
        return {0.92};
    case Content::expandedPill:
        return {0.96};
    default:
        return {1};
    }
}

double NotchSurfaceLayout::opacity(double presence)
{
    return std::isfinite(presence) ? std::clamp(presence, 0.0, 1.0) : 0.0;
}

double NotchSurfaceLayout::scale(Content content, double presence)
{
    const double from = transition(content).scale;
    return from + (1 - from) * (std::isfinite(presence) ? std::max(0.0, presence) : 0.0);
}
