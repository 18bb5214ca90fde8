#include "VudeServices/TimerStore.h"

#include <algorithm>
#include <cmath>

TimerStore::TimerStore(const ClockSource& clock, QObject* parent)
    : QObject(parent)
    , m_clock(clock)
{
}

VudeTimer TimerStore::add(double total, std::string label, bool start)
{
    const auto before = m_timers;
    VudeTimer timer;
    timer.id = Uuid::random();
    timer.label = std::move(label);
    // A NaN length would poison every remainder and ring drawn from it.
    timer.total = std::isnan(total) ? 0 : total;
    if (start)
        timer.startedAt = m_clock.now();
    m_timers.push_back(timer);
    changed(before);
    return timer;
}

void TimerStore::toggle(const VudeTimer& timer, Date now)
{
    const auto found = std::find_if(m_timers.begin(), m_timers.end(),
                                    [&](const VudeTimer& stored) { return stored.id == timer.id; });
    if (found == m_timers.end())
        return;
    const auto before = m_timers;
    if (found->startedAt) {
        found->pausedRemaining = found->remaining(now);
        found->startedAt.reset();
    } else {
        const double left = found->pausedRemaining.value_or(found->total);
        found->startedAt = saturatingAdd(now, durationFromSeconds(left - found->total));
        found->pausedRemaining.reset();
    }
    changed(before);
}

void TimerStore::remove(const VudeTimer& timer)
{
    const auto before = m_timers;
    std::erase_if(m_timers, [&](const VudeTimer& stored) { return stored.id == timer.id; });
    m_announced.erase(timer.id);
    changed(before);
}

void TimerStore::check(Date now)
{
    const auto snapshot = m_timers;
    for (const auto& timer : snapshot) {
        if (!timer.hasFinished(now) || m_announced.contains(timer.id))
            continue;
        m_announced.insert(timer.id);
        if (m_onFinished)
            m_onFinished(timer);
    }
}

void TimerStore::changed(const std::vector<VudeTimer>& before)
{
    if (m_onChange)
        m_onChange(m_timers);
    if (m_timers != before)
        emit timersChanged();
}
