#pragma once
// What a screen's notch shows (NotchState), what can happen to it (NotchEvent),
// what the owner must do after a transition (NotchEffect), and the pure
// transition function between them (NotchStateMachine). No time, no windows:
// the notch view model feeds events in and carries the effects out.
//
// The three enumerations have many cases without a payload, so each is a kind
// tag plus the payload of the cases that carry one; switch over `kind()` and
// read the payload through the typed accessors.

#include "VudeKit/ActivityModels.h"
#include "VudeKit/NotchStateGuards.h"

#include <optional>
#include <variant>
#include <vector>

class NotchState {
public:
    enum class Kind { peek, activity, activityExpanded, open, hidden, closed, dropTarget };

    /// A thin peek of an activity. Only a machine built in this state shows one.
    static NotchState peek(ActivityPayload payload) { return {Kind::peek, std::move(payload)}; }
    static NotchState activity(ActivityPayload payload) { return {Kind::activity, std::move(payload)}; }
    /// The taller pill with both text lines.
    static NotchState activityExpanded(ActivityPayload payload) { return {Kind::activityExpanded, std::move(payload)}; }
    /// The Desk is open on `tab`.
    static NotchState open(RiziDar tab) { return {Kind::open, tab}; }
    static NotchState hidden() { return NotchState(Kind::hidden); }
    static NotchState closed() { return NotchState(Kind::closed); }
    /// Files are being dragged over the notch.
    static NotchState dropTarget() { return NotchState(Kind::dropTarget); }

    Kind kind() const { return m_kind; }
    bool isOpen() const { return m_kind == Kind::open; }
    /// True for peek, activity and activityExpanded.
    bool isPresentingActivity() const;
    /// The payload of peek, activity and activityExpanded; nullptr otherwise.
    const ActivityPayload* payload() const { return std::get_if<ActivityPayload>(&m_value); }
    /// The tab of open; none otherwise.
    std::optional<RiziDar> tab() const;

    bool operator==(const NotchState&) const = default;

private:
    friend class NotchStateMachine;
    using Value = std::variant<std::monostate, ActivityPayload, RiziDar>;
    explicit NotchState(Kind kind) : m_kind(kind) {}
    NotchState(Kind kind, ActivityPayload payload)
        : m_kind(kind), m_value(std::in_place_type<ActivityPayload>, std::move(payload))
    {
    }
    NotchState(Kind kind, RiziDar tab) : m_kind(kind), m_value(tab) {}

    Kind m_kind;
    Value m_value;
};

class NotchEvent {
public:
    enum class Kind {
        activityArrived,
        selectTab,
        hoverBegan,
        hoverEnded,
        click,
        swipeDown,
        swipeUp,
        swipeLeft,
        swipeRight,
        dragEntered,
        dragExited,
        dropped,
        escape,
        activityTimedOut,
        activityQueueDrained,
        toggleHidden,
        forceClose,
    };

    static NotchEvent activityArrived(ActivityPayload payload) { return {Kind::activityArrived, std::move(payload)}; }
    static NotchEvent selectTab(RiziDar tab) { return {Kind::selectTab, tab}; }
    static NotchEvent hoverBegan() { return Kind::hoverBegan; }
    static NotchEvent hoverEnded() { return Kind::hoverEnded; }
    static NotchEvent click() { return Kind::click; }
    static NotchEvent swipeDown() { return Kind::swipeDown; }
    static NotchEvent swipeUp() { return Kind::swipeUp; }
    static NotchEvent swipeLeft() { return Kind::swipeLeft; }
    static NotchEvent swipeRight() { return Kind::swipeRight; }
    static NotchEvent dragEntered() { return Kind::dragEntered; }
    static NotchEvent dragExited() { return Kind::dragExited; }
    static NotchEvent dropped() { return Kind::dropped; }
    static NotchEvent escape() { return Kind::escape; }
    static NotchEvent activityTimedOut() { return Kind::activityTimedOut; }
    static NotchEvent activityQueueDrained() { return Kind::activityQueueDrained; }
    static NotchEvent toggleHidden() { return Kind::toggleHidden; }
    static NotchEvent forceClose() { return Kind::forceClose; }

    Kind kind() const { return m_kind; }
    /// The payload of activityArrived; nullptr otherwise.
    const ActivityPayload* payload() const { return std::get_if<ActivityPayload>(&m_value); }
    /// The tab of selectTab; none otherwise.
    std::optional<RiziDar> tab() const;

    bool operator==(const NotchEvent&) const = default;

private:
    using Value = std::variant<std::monostate, ActivityPayload, RiziDar>;
    NotchEvent(Kind kind) : m_kind(kind) {}
    NotchEvent(Kind kind, ActivityPayload payload)
        : m_kind(kind), m_value(std::in_place_type<ActivityPayload>, std::move(payload))
    {
    }
    NotchEvent(Kind kind, RiziDar tab) : m_kind(kind), m_value(tab) {}

    Kind m_kind;
    Value m_value;
};

class NotchEffect {
public:
    enum class Kind { cycleActivity, openRavo, requestKeyboardFocus, mediaNext, mediaPrevious, dismissActivity, haptic };

    static NotchEffect cycleActivity(bool forward) { return {Kind::cycleActivity, forward}; }
    static NotchEffect openRavo(RiziDar tab) { return {Kind::openRavo, tab}; }
    static NotchEffect requestKeyboardFocus(bool focus) { return {Kind::requestKeyboardFocus, focus}; }
    static NotchEffect mediaNext() { return Kind::mediaNext; }
    static NotchEffect mediaPrevious() { return Kind::mediaPrevious; }
    static NotchEffect dismissActivity() { return Kind::dismissActivity; }
    static NotchEffect haptic() { return Kind::haptic; }

    Kind kind() const { return m_kind; }
    /// The direction of cycleActivity; false for every other effect.
    bool forward() const { return m_kind == Kind::cycleActivity && std::get<bool>(m_value); }
    /// The wanted focus of requestKeyboardFocus; false for every other effect.
    bool focus() const { return m_kind == Kind::requestKeyboardFocus && std::get<bool>(m_value); }
    /// The tab of openRavo; none otherwise.
    std::optional<RiziDar> tab() const;

    bool operator==(const NotchEffect&) const = default;

private:
    using Value = std::variant<std::monostate, bool, RiziDar>;
    NotchEffect(Kind kind) : m_kind(kind) {}
    NotchEffect(Kind kind, bool flag) : m_kind(kind), m_value(flag) {}
    NotchEffect(Kind kind, RiziDar tab) : m_kind(kind), m_value(tab) {}

    Kind m_kind;
    Value m_value;
};

/// The transition function of one screen's notch. `apply` depends only on the
/// state, the state saved when a drag began, the event and the guards; it
/// returns the effects in the order the caller must carry them out.
class NotchStateMachine {
public:
    explicit NotchStateMachine(NotchState state, NotchStateGuards guards = {})
        : m_state(std::move(state)), m_guards(guards)
    {
    }

    const NotchState& state() const { return m_state; }
    const NotchStateGuards& guards() const { return m_guards; }
    /// Takes effect from the next apply().
    void setGuards(const NotchStateGuards& guards) { m_guards = guards; }

    /// One transition. A state and event pair without a rule leaves the state
    /// as it is and returns no effects. Whenever the state changes and either
    /// side is the open Desk, a haptic comes last.
    std::vector<NotchEffect> apply(const NotchEvent& event);

private:
    void transition(const NotchEvent& event, std::vector<NotchEffect>& effects);
    void applyWhileDragging(const NotchEvent& event);

    NotchState m_state;
    NotchStateGuards m_guards;
    std::optional<NotchState> m_stateBeforeDrag;
};
