#include "Vude/Shell/NotchSizing.h"

#include <algorithm>

bool NotchSizing::isAmbientMedia(const NotchState& state)
{
    const ActivityPayload* payload = state.payload();
    return state.kind() == NotchState::Kind::activity && payload && payload->kind() == ActivityKind::nowPlaying &&
           payload->priority() == ActivityPriority::ambient;
}

Size NotchSizing::contentSize(const NotchState& state) const
{
    const Size notch = geometry.notchSize;
    const double chrome = 2 * (contentPadding + 6) - 12;
    switch (state.kind()) {
    case NotchState::Kind::peek:
        return {notch.width + peekGrowth, std::max(notch.height, peekMinimumHeight)};
    case NotchState::Kind::activity:
        if (isAmbientMedia(state)) {
            // Hovering adds the title row's height to the resting height, not
            // to the notch's: under a handler a few points high, the notch's
            // height plus the row would not hold the artwork and the row.
            const double resting = std::max(notch.height, ambientMinimumHeight);
            return {notch.width + ambientGrowth, isHovering ? resting + ambientHoverExtraHeight : resting};
        }
        return {metrics.width(*state.payload(), false, notch.width, chrome), std::max(notch.height, pillMinimumHeight)};
    case NotchState::Kind::activityExpanded:
        return {metrics.width(*state.payload(), true, notch.width, chrome), expandedPillHeight};
    case NotchState::Kind::open: {
        const double available = std::min(layout.totalWidth, geometry.screenFrame.width - openScreenMargin);
        return {std::max(notch.width + openWidthFloor, available), ravoHeight() + openHeaderHeight()};
    }
    case NotchState::Kind::hidden:
        return {0, 0};
    case NotchState::Kind::closed:
        if (isHovering)
            return {notch.width + closedHoverGrowth.width, notch.height + closedHoverGrowth.height};
        return notch;
    case NotchState::Kind::dropTarget:
        return {std::min(notch.width + dropTargetGrowth, geometry.screenFrame.width - dropTargetScreenMargin),
                dropTargetHeight};
    }
    return notch;
}

double NotchSizing::ravoHeight() const
{
    if (currentState.tab() != RiziDar::ravo || layout.placements.empty())
        return defaultRavoHeight;
    double tallest = 0;
    for (const WidgetPlacement& placement : layout.placements)
        tallest = std::max(tallest, preferredHeight(placement.id));
    return tallest;
}

double NotchSizing::openHeaderHeight() const
{
    return std::max(geometry.notchSize.height, openHeaderMinimumHeight);
}

Size NotchSizing::canvas(const NotchState& state) const
{
    const Size content = contentSize(state);
    if (content.width == 0 && content.height == 0)
        return {geometry.notchSize.width, emptyCanvasHeight};
    return {content.width + canvasMargin.width, content.height + canvasMargin.height};
}

Rect NotchSizing::interactiveRect(Size size) const
{
    if (currentState.kind() == NotchState::Kind::hidden)
        return {};
    const Size content = contentSize(currentState);
    const double width = content.width + canvasMargin.width;
    return {(size.width - width) / 2, 0, width, content.height + canvasMargin.height};
}

Rect NotchSizing::notchFrame(Size canvas) const
{
    const Rect& screen = geometry.screenFrame;
    const double width = std::min(screen.width, canvas.width);
    const double height = std::min(screen.height, canvas.height);
    return {geometry.notchOrigin.x + geometry.notchSize.width / 2 - width / 2, screen.maxY() - height, width, height};
}
