#pragma once
// The poll both backlight services run: every 0.2 s one read of the level on
// the service's serial queue; a change of more than 0.004 against the level
// last published (or read at start) is published. Nothing is published at
// start, so launching never looks like a change.

#include "Platform/Core/SerialQueue.h"
#include "Platform/Display/Backlight.h"
#include "VudeKit/Scheduler.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <string>

class BacklightPoll {
public:
    static constexpr Duration kInterval = std::chrono::milliseconds(200);
    static constexpr double kThreshold = 0.004;

    /// `publish` runs on the queue with each valid level that counts as a
    /// change. `backlight` must outlive the poll.
    BacklightPoll(std::string queueLabel, Scheduler& scheduler, const Backlight& backlight,
                  std::function<void(double)> publish);
    /// Stops the timer and lets a poll under way finish.
    ~BacklightPoll();

    BacklightPoll(const BacklightPoll&) = delete;
    BacklightPoll& operator=(const BacklightPoll&) = delete;

    /// Reads the level to compare against and starts the timer; a running
    /// poll starts over. Main thread.
    void start();
    /// Cancels the timer. Main thread.
    void stop();

private:
    void poll();

    Scheduler& m_scheduler;
    const Backlight& m_backlight;
    std::function<void(double)> m_publish;
    ScheduledTask m_timer;
    double m_lastLevel = -1; // on the queue only; -1: no level seen
    // A read that hangs must not pile up polls behind it.
    std::atomic<bool> m_pollQueued = false;
    // Declared last: destroyed first, it finishes its work while the rest is
    // still alive.
    SerialQueue m_queue;
};
