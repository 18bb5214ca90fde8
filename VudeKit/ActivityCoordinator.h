#pragma once
// The single arbiter of which live activity the notch shows. Producers submit
// payloads; the coordinator filters them through its gates, replaces those
// with the same dedupe key, presents or queues them by priority, remembers when
// the current one expires, resumes an activity an interrupt pushed aside and
// falls back to the standing ambient activity. It owns no timer: its owner
// ticks it (every 0.25 s in the app) and mirrors `current` into the notch.
//
// Main thread only. `current`, `queue` and `ambient` are observed properties:
// the will-change handler hears of each change just before it happens.

#include "VudeKit/ActivityModels.h"
#include "VudeKit/ClockSource.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <set>
#include <vector>

class ActivityCoordinator {
public:
    /// The most payloads that wait in the queue; a fourth drops the oldest.
    static constexpr std::size_t maxQueueDepth = 3;

    enum class Property { current, queue, ambient };
    /// Called before an observed property takes a different value. It must not
    /// call back into the coordinator's operations.
    using WillChangeHandler = std::function<void(Property)>;

    explicit ActivityCoordinator(const ClockSource& clock);

    void setWillChangeHandler(WillChangeHandler handler) { m_willChange = std::move(handler); }

    const std::optional<ActivityPayload>& current() const { return m_current; }
    /// Waiting payloads, oldest first.
    const std::vector<ActivityPayload>& queue() const { return m_queue; }
    /// The standing background activity, shown whenever nothing else is.
    const std::optional<ActivityPayload>& ambient() const { return m_ambient; }

    /// Fills or empties the ambient slot; returns true when `current` changed,
    /// so the caller knows to show it. With nothing current the new payload is
    /// presented at once. While the old ambient payload is the one shown, the
    /// new one takes its place, or, when the slot is emptied, the coordinator
    /// moves on (a paused track's pill must not stay up for its whole hour).
    /// Gates are not consulted: the slot is shown whenever nothing else is.
    bool setAmbient(std::optional<ActivityPayload> payload);

    /// Offers a payload. True exactly when it is now current, including when it
    /// replaced the current one of the same dedupe key; only then should the
    /// caller show it.
    bool submit(ActivityPayload payload);

    /// Puts `payload` in place of the payload with the same id, wherever it
    /// shows or waits (current, queued, set aside by an interrupt, ambient),
    /// keeping its place and its expiry: a new look for the same activity,
    /// not a new one. Gates are not consulted. True when it is current, so
    /// the caller shows it again; false also when no payload has its id.
    bool refresh(const ActivityPayload& payload);

    /// True when the current activity expired and the coordinator moved on.
    bool tick();
    /// True while the current activity has an expiry for `tick` to reach.
    bool isWaitingToExpire() const { return m_expiry.has_value(); }

    /// Drops the current activity and any activity it suspended, then moves on.
    /// Always true.
    bool dismissCurrent();

    /// Rotates the current activity through the queue; forward presents the
    /// queue's front and sends the current one to the back, backward the
    /// reverse. Nothing happens with an empty queue.
    void cycle(bool forward);

    /// Removes every activity of `kind`: waiting, suspended, in the ambient slot
    /// and current.
    void clear(ActivityKind kind);

    // Gates, read at each submission.
    const std::set<ActivityKind>& allowedDuringFocus() const { return m_allowedDuringFocus; }
    void setAllowedDuringFocus(std::set<ActivityKind> kinds) { m_allowedDuringFocus = std::move(kinds); }
    bool focusActive() const { return m_focusActive; }
    void setFocusActive(bool active) { m_focusActive = active; }
    const std::set<ActivityKind>& showInFullscreen() const { return m_showInFullscreen; }
    void setShowInFullscreen(std::set<ActivityKind> kinds) { m_showInFullscreen = std::move(kinds); }
    bool isFrontmostAppFullscreen() const { return m_isFrontmostAppFullscreen; }
    void setFrontmostAppFullscreen(bool fullscreen) { m_isFrontmostAppFullscreen = fullscreen; }
    bool isRavoOpen() const { return m_isRavoOpen; }
    void setRavoOpen(bool open) { m_isRavoOpen = open; }
    bool activitiesEnabled() const { return m_activitiesEnabled; }
    void setActivitiesEnabled(bool enabled) { m_activitiesEnabled = enabled; }

private:
    struct Suspended {
        ActivityPayload payload;
        Duration remaining;
    };

    bool passesGates(const ActivityPayload& payload) const;
    void present(ActivityPayload payload);
    bool advance();

    void assignCurrent(std::optional<ActivityPayload> payload);
    void assignAmbient(std::optional<ActivityPayload> payload);
    void willChange(Property property) const;

    std::optional<ActivityPayload> m_current;
    std::vector<ActivityPayload> m_queue;
    std::optional<ActivityPayload> m_ambient;
    std::set<ActivityKind> m_allowedDuringFocus;
    bool m_focusActive = false;
    std::set<ActivityKind> m_showInFullscreen;
    bool m_isFrontmostAppFullscreen = false;
    bool m_isRavoOpen = false;
    bool m_activitiesEnabled = true;
    const ClockSource& m_clock;
    std::optional<Date> m_expiry;
    std::optional<Suspended> m_suspended;
    WillChangeHandler m_willChange;
};
