#pragma once
// The app's Scheduler: Qt timers on the thread that owns the scheduler (the
// main thread).

#include "VudeKit/Scheduler.h"

#include <QObject>

class QtScheduler final : public Scheduler {
public:
    QtScheduler();
    ~QtScheduler() override;

    ScheduledTask after(Duration delay, std::function<void()> action) override;
    ScheduledTask every(Duration interval, std::function<void()> action) override;

private:
    ScheduledTask start(Duration interval, bool repeating, std::function<void()> action);

    // Parent of every timer, so they all stop when the scheduler goes.
    QObject m_timers;
};
