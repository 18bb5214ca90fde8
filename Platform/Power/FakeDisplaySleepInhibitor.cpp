#include "Platform/Power/FakeDisplaySleepInhibitor.h"

std::optional<std::uint32_t> FakeDisplaySleepInhibitor::inhibit(const std::string& reason)
{
    if (m_refusing) {
        m_calls.push_back({Call::Kind::inhibit, 0, reason});
        return std::nullopt;
    }
    const std::uint32_t id = m_nextID++;
    m_calls.push_back({Call::Kind::inhibit, id, reason});
    m_held.insert(id);
    return id;
}

void FakeDisplaySleepInhibitor::release(std::uint32_t id)
{
    m_calls.push_back({Call::Kind::release, id, {}});
    m_held.erase(id);
}

void FakeDisplaySleepInhibitor::refuseHeld(std::uint32_t id)
{
    if (m_held.erase(id) == 0)
        return;
    if (m_lost)
        m_lost(id);
}
