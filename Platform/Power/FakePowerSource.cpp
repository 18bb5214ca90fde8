#include "Platform/Power/FakePowerSource.h"

#include <utility>

FakePowerSource::FakePowerSource(std::optional<PowerSourceReading> battery, bool connected)
    : m_battery(std::move(battery)), m_connected(connected)
{
}

void FakePowerSource::changeBattery(std::optional<PowerSourceReading> battery)
{
    m_battery = std::move(battery);
    if (m_started && m_handlers.batteryChanged)
        m_handlers.batteryChanged(m_battery);
}

void FakePowerSource::changeLowPowerMode(bool enabled)
{
    m_lowPowerMode = enabled;
    if (m_started && m_handlers.lowPowerModeChanged)
        m_handlers.lowPowerModeChanged(enabled);
}

bool FakePowerSource::start()
{
    m_started = m_connected;
    return m_started;
}

std::optional<PowerSourceReading> FakePowerSource::readBattery()
{
    ++m_readCount;
    return m_connected ? m_battery : std::nullopt;
}

void FakePowerSource::readAll(ReadDone done)
{
    if (m_holdingReads) {
        m_heldReads.push_back(std::move(done));
        return;
    }
    const auto battery = readBattery();
    done(battery, readLowPowerMode());
}

void FakePowerSource::releaseReads()
{
    m_holdingReads = false;
    for (auto& done : std::exchange(m_heldReads, {}))
        readAll(std::move(done));
}
