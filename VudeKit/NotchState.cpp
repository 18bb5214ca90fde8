#include "VudeKit/NotchState.h"

namespace {

template <typename Value>
std::optional<RiziDar> tabOf(const Value& value)
{
    if (const auto* tab = std::get_if<RiziDar>(&value))
        return *tab;
    return std::nullopt;
}

} // namespace

bool NotchState::isPresentingActivity() const
{
    return m_kind == Kind::peek || m_kind == Kind::activity || m_kind == Kind::activityExpanded;
}

std::optional<RiziDar> NotchState::tab() const { return tabOf(m_value); }

std::optional<RiziDar> NotchEvent::tab() const { return tabOf(m_value); }

std::optional<RiziDar> NotchEffect::tab() const { return tabOf(m_value); }

std::vector<NotchEffect> NotchStateMachine::apply(const NotchEvent& event)
{
    // Only the open Desk carries a tab, so two states differ with one of them
    // open exactly when their tabs differ; no payload needs copying to tell.
    const auto openTabBefore = m_state.tab();
    std::vector<NotchEffect> effects;
    transition(event, effects);
    // Whatever ends a drag (also a force-close or hiding) ends the saved state.
    if (m_state.kind() != NotchState::Kind::dropTarget)
        m_stateBeforeDrag.reset();
    const auto openTabAfter = m_state.tab();
    if ((openTabBefore || openTabAfter) && openTabBefore != openTabAfter)
        effects.push_back(NotchEffect::haptic());
    return effects;
}

void NotchStateMachine::transition(const NotchEvent& event, std::vector<NotchEffect>& effects)
{
    using K = NotchState::Kind;
    using E = NotchEvent::Kind;
    const auto& g = m_guards;
    const K kind = m_state.kind();
    const bool pill = kind == K::activity || kind == K::activityExpanded;

    const auto openRavo = [&](RiziDar tab) {
        m_state = NotchState::open(tab);
        effects.push_back(NotchEffect::openRavo(tab));
    };
    const auto closeDesk = [&] {
        m_state = NotchState::closed();
        effects.push_back(NotchEffect::requestKeyboardFocus(false));
    };

    switch (event.kind()) {
    case E::activityArrived:
        if (m_state.isPresentingActivity() || kind == K::hidden || kind == K::closed)
            m_state = NotchState::activity(*event.payload());
        else if (kind == K::dropTarget)
            applyWhileDragging(event);
        return;
    case E::selectTab:
        if (kind == K::open)
            m_state = NotchState::open(*event.tab());
        return;
    case E::hoverBegan:
        if (kind == K::activity && (g.quickPeekEnabled || g.interactiveActivities))
            m_state.m_kind = K::activityExpanded; // same payload, nothing to copy
        else if (kind == K::closed && !(g.lockWhileTyping && g.isTyping) && (g.alwaysOpenOnHover || g.expandOnHover))
            openRavo(RiziDar::ravo);
        return;
    case E::hoverEnded:
        if (kind == K::peek)
            m_state = NotchState::closed();
        else if (kind == K::activityExpanded)
            m_state.m_kind = K::activity;
        else if (kind == K::open && !g.preventCloseOnMouseLeave && !g.alwaysOpenOnHover)
            closeDesk();
        return;
    case E::click:
        if ((pill && g.interactiveActivities) || kind == K::closed)
            openRavo(RiziDar::ravo);
        return;
    case E::swipeDown:
        if ((kind == K::activityExpanded || kind == K::closed) && g.swipeToToggleOpen)
            openRavo(RiziDar::ravo);
        else if (kind == K::hidden)
            m_state = NotchState::closed();
        return;
    case E::swipeUp:
        if (pill && g.swipeToDismissActivity) {
            m_state = NotchState::closed();
            effects.push_back(NotchEffect::dismissActivity());
        } else if (kind == K::open) {
            closeDesk();
        } else if (kind == K::closed && g.swipeToToggleOpen) {
            m_state = NotchState::hidden();
        }
        return;
    case E::swipeLeft:
    case E::swipeRight: {
        const bool forward = event.kind() == E::swipeLeft;
        if (pill && g.swipeToCycleActivity)
            effects.push_back(NotchEffect::cycleActivity(forward));
        else if ((pill || kind == K::open || kind == K::closed) && g.swipeToSkipMedia)
            effects.push_back(forward ? NotchEffect::mediaNext() : NotchEffect::mediaPrevious());
        return;
    }
    case E::dragEntered:
        if (pill || kind == K::open || kind == K::closed) {
            m_stateBeforeDrag = std::move(m_state);
            m_state = NotchState::dropTarget();
        }
        return;
    case E::dragExited:
        if (kind == K::dropTarget) {
            m_state = m_stateBeforeDrag ? std::move(*m_stateBeforeDrag) : NotchState::closed();
        }
        return;
    case E::dropped:
        if (kind == K::dropTarget)
            openRavo(RiziDar::tray);
        return;
    case E::escape:
        if (kind == K::open)
            closeDesk();
        return;
    case E::activityTimedOut:
        if ((pill && !g.demoMode) || kind == K::peek)
            m_state = NotchState::closed();
        else if (kind == K::dropTarget)
            applyWhileDragging(event);
        return;
    case E::activityQueueDrained:
        return;
    case E::toggleHidden:
        m_state = kind == K::hidden ? NotchState::closed() : NotchState::hidden();
        return;
    case E::forceClose:
        closeDesk();
        return;
    }
}

// The drop target keeps the state it will return to when the drag leaves.
// Activities that arrive or time out meanwhile update that saved state, so the
// notch comes back showing what the coordinator shows now: a pill that expired
// during the drag is not restored (it would never time out again), and one
// that arrived is not lost.
void NotchStateMachine::applyWhileDragging(const NotchEvent& event)
{
    using K = NotchState::Kind;
    if (!m_stateBeforeDrag)
        return;
    const K saved = m_stateBeforeDrag->kind();
    const bool savedPill = saved == K::activity || saved == K::activityExpanded;
    if (event.kind() == NotchEvent::Kind::activityArrived && (savedPill || saved == K::closed))
        m_stateBeforeDrag = NotchState::activity(*event.payload());
    else if (event.kind() == NotchEvent::Kind::activityTimedOut && savedPill && !m_guards.demoMode)
        m_stateBeforeDrag = NotchState::closed();
}
