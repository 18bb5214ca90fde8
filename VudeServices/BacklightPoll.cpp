#include "VudeServices/BacklightPoll.h"

#include "VudeServices/BrightnessState.h"

#include <cmath>

BacklightPoll::BacklightPoll(std::string queueLabel, Scheduler& scheduler, const Backlight& backlight,
                             std::function<void(double)> publish)
    : m_scheduler(scheduler), m_backlight(backlight), m_publish(std::move(publish)), m_queue(std::move(queueLabel))
{
}

BacklightPoll::~BacklightPoll()
{
    m_timer.cancel();
}

void BacklightPoll::start()
{
    m_timer.cancel();
    // Read here, so the level to compare with is the one when start() was
    // called; the queue takes it before any poll of this start.
    const double level = validBacklightLevel(m_backlight.level()).value_or(-1);
    m_queue.async([this, level] { m_lastLevel = level; });
    m_timer = m_scheduler.every(kInterval, [this] {
        if (m_pollQueued.exchange(true))
            return;
        m_queue.async([this] {
            m_pollQueued = false;
            poll();
        });
    });
}

void BacklightPoll::stop()
{
    m_timer.cancel();
}

void BacklightPoll::poll()
{
    const auto level = validBacklightLevel(m_backlight.level());
    if (!level)
        return;
    // Levels come from integer ratios: 0.504 - 0.5 is a hair above 0.004 in
    // binary, and must count as 0.004.
    constexpr double rounding = 1e-12;
    if (std::abs(*level - m_lastLevel) <= kThreshold + rounding)
        return;
    m_lastLevel = *level;
    m_publish(*level);
}
