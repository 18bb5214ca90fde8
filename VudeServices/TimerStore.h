#pragma once
// The Desk's countdown timers, in memory only: gone when the app quits.
// Timers keep their creation order. Reaching zero changes nothing about a
// timer: it stays running with 0 s left until paused or removed; check()
// reports each one once in its lifetime.
//
// Observed through timersChanged (only when the list really changed) or the
// onChange handler (after every add, toggle and remove, also one that
// changed nothing). Main thread only.

#include "VudeKit/ClockSource.h"
#include "VudeServices/VudeTimer.h"

#include <QObject>

#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

class TimerStore final : public QObject {
    Q_OBJECT
public:
    using ChangeHandler = std::function<void(const std::vector<VudeTimer>& timers)>;
    using FinishHandler = std::function<void(const VudeTimer& timer)>;

    /// `clock` starts new timers and must outlive the store.
    explicit TimerStore(const ClockSource& clock, QObject* parent = nullptr);

    const std::vector<VudeTimer>& timers() const { return m_timers; }

    const ChangeHandler& onChange() const { return m_onChange; }
    void setOnChange(ChangeHandler handler) { m_onChange = std::move(handler); }
    const FinishHandler& onFinished() const { return m_onFinished; }
    void setOnFinished(FinishHandler handler) { m_onFinished = std::move(handler); }

    /// Appends a new timer of `total` seconds (NaN counts as 0), running from
    /// now when `start` is true, else not started.
    VudeTimer add(double total, std::string label, bool start);
    /// Pauses the stored timer with `timer`'s id when it runs, else resumes
    /// it so that it goes on from its remainder; `timer`'s own state is not
    /// used. An unknown id changes and calls nothing.
    void toggle(const VudeTimer& timer, Date now);
    /// Removes every timer with `timer`'s id; calls onChange even when none
    /// matched.
    void remove(const VudeTimer& timer);
    /// Calls onFinished for each running timer with nothing left at `now` that
    /// was not reported before. Changes no timer.
    void check(Date now);

signals:
    void timersChanged();

private:
    void changed(const std::vector<VudeTimer>& before);

    const ClockSource& m_clock;
    std::vector<VudeTimer> m_timers;
    ChangeHandler m_onChange;
    FinishHandler m_onFinished;
    std::unordered_set<Uuid> m_announced;
};
