#pragma once
// Every delay and repeating timer goes through a Scheduler: Qt timers in the
// app (QtScheduler), a ManualScheduler in tests so no test waits for real time.
// Schedulers are used from the main thread only.

#include "VudeKit/ClockSource.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

/// A handle to a scheduled action. Dropping the handle does not cancel the
/// action (fire-and-forget delays need no owner); call cancel() to stop it.
class ScheduledTask {
public:
    ScheduledTask() = default;

    void cancel();
    /// True until a one-shot action has run or the task was cancelled.
    bool isActive() const;

    struct State {
        bool cancelled = false;
        bool finished = false;
        std::function<void()> onCancel;
    };
    explicit ScheduledTask(std::shared_ptr<State> state) : m_state(std::move(state)) {}

private:
    std::shared_ptr<State> m_state;
};

class Scheduler {
public:
    virtual ~Scheduler() = default;

    /// Runs `action` once, `delay` from now.
    virtual ScheduledTask after(Duration delay, std::function<void()> action) = 0;
    /// Runs `action` every `interval`, first one interval from now.
    virtual ScheduledTask every(Duration interval, std::function<void()> action) = 0;
};

/// A scheduler on a ManualClock. Time moves only through advance(): due actions
/// run in order of their due time, and in the order they were scheduled when
/// due at the same time; the clock reads each action's due time while it runs.
class ManualScheduler final : public Scheduler {
public:
    explicit ManualScheduler(ManualClock& clock) : m_clock(clock) {}

    ScheduledTask after(Duration delay, std::function<void()> action) override;
    ScheduledTask every(Duration interval, std::function<void()> action) override;

    /// Moves the clock forward by `by`, running every action that falls due,
    /// including actions scheduled by those actions within the window.
    void advance(Duration by);
    /// Runs the actions already due without moving the clock.
    void runDue() { advance(Duration::zero()); }
    /// The number of scheduled actions that are neither cancelled nor done.
    std::size_t pendingCount() const;

    ManualClock& clock() { return m_clock; }

private:
    struct Entry {
        Date due;
        std::uint64_t sequence;
        Duration interval; // zero for one-shot actions
        std::function<void()> action;
        std::shared_ptr<ScheduledTask::State> state;
    };
    ScheduledTask add(Duration delay, Duration interval, std::function<void()> action);

    ManualClock& m_clock;
    std::vector<Entry> m_entries;
    std::uint64_t m_nextSequence = 0;
};
