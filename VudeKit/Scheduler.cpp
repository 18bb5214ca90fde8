#include "VudeKit/Scheduler.h"

#include <algorithm>

void ScheduledTask::cancel()
{
    if (!m_state || m_state->cancelled)
        return;
    m_state->cancelled = true;
    if (auto onCancel = std::move(m_state->onCancel))
        onCancel();
}

bool ScheduledTask::isActive() const
{
    return m_state && !m_state->cancelled && !m_state->finished;
}

ScheduledTask ManualScheduler::after(Duration delay, std::function<void()> action)
{
    return add(delay, Duration::zero(), std::move(action));
}

ScheduledTask ManualScheduler::every(Duration interval, std::function<void()> action)
{
    // A repeating action with no interval would run forever within one advance.
    return add(interval, std::max(interval, Duration(1)), std::move(action));
}

ScheduledTask ManualScheduler::add(Duration delay, Duration interval, std::function<void()> action)
{
    auto state = std::make_shared<ScheduledTask::State>();
    m_entries.push_back({m_clock.now() + std::max(delay, Duration::zero()), m_nextSequence++, interval,
                         std::move(action), state});
    return ScheduledTask(state);
}

void ManualScheduler::advance(Duration by)
{
    const Date target = m_clock.now() + by;
    for (;;) {
        std::erase_if(m_entries, [](const Entry& entry) { return entry.state->cancelled; });
        auto next = std::min_element(m_entries.begin(), m_entries.end(), [](const Entry& a, const Entry& b) {
            return a.due != b.due ? a.due < b.due : a.sequence < b.sequence;
        });
        if (next == m_entries.end() || next->due > target)
            break;

        Entry entry = std::move(*next);
        m_entries.erase(next);
        if (entry.due > m_clock.now())
            m_clock.set(entry.due);
        if (entry.interval > Duration::zero()) {
            m_entries.push_back({entry.due + entry.interval, m_nextSequence++, entry.interval, entry.action,
                                 entry.state});
        } else {
            entry.state->finished = true;
        }
        entry.action();
    }
    if (target > m_clock.now())
        m_clock.set(target);
}

std::size_t ManualScheduler::pendingCount() const
{
    return static_cast<std::size_t>(std::count_if(m_entries.begin(), m_entries.end(), [](const Entry& entry) {
        return !entry.state->cancelled && !entry.state->finished;
    }));
}
