#include "Platform/Display/FakeBacklight.h"

void FakeBacklight::changeLevel(std::optional<double> level)
{
    std::scoped_lock lock(m_mutex);
    m_level = level;
}

void FakeBacklight::setWritable(bool writable)
{
    std::scoped_lock lock(m_mutex);
    m_writable = writable;
}

std::vector<double> FakeBacklight::writes() const
{
    std::scoped_lock lock(m_mutex);
    return m_writes;
}

std::optional<double> FakeBacklight::level() const
{
    std::scoped_lock lock(m_mutex);
    if (!m_available)
        return std::nullopt;
    return m_level;
}

bool FakeBacklight::setLevel(double level)
{
    std::scoped_lock lock(m_mutex);
    if (!m_available || !m_writable)
        return false;
    m_level = level;
    m_writes.push_back(level);
    return true;
}
