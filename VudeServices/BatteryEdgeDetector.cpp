#include "VudeServices/BatteryEdgeDetector.h"

void BatteryEdgeDetector::begin(const BatteryState& state, bool hasBattery)
{
    m_previous = state;
    m_previousIsReading = hasBattery;
}

std::vector<BatteryEvent> BatteryEdgeDetector::poll(const std::optional<BatteryState>& reading)
{
    if (!reading)
        return {};
    BatteryState state = *reading;
    if (m_previous)
        state.lowPowerMode = m_previous->lowPowerMode;
    if (!m_previous || !m_previousIsReading) {
        m_previous = state;
        m_previousIsReading = true;
        return {};
    }

    std::vector<BatteryEvent> events;
    const BatteryState& previous = *m_previous;
    if (state.isPluggedIn != previous.isPluggedIn)
        events.push_back(state.isPluggedIn ? BatteryEvent::pluggedIn(state.percentage)
                                           : BatteryEvent::unplugged(state.percentage));
    if (state.isCharged && !previous.isCharged)
        events.push_back(BatteryEvent::charged());
    if (!state.isPluggedIn && state.percentage <= lowBatteryThreshold && !m_lowBatteryLatched) {
        m_lowBatteryLatched = true;
        events.push_back(BatteryEvent::lowBattery(state.percentage));
    } else if (state.isPluggedIn || state.percentage > lowBatteryThreshold + hysteresis) {
        m_lowBatteryLatched = false;
    }
    m_previous = state;
    return events;
}

std::optional<BatteryEvent> BatteryEdgeDetector::lowPowerModeChanged(bool enabled)
{
    if (m_previous) {
        if (m_previous->lowPowerMode == enabled)
            return std::nullopt;
        m_previous->lowPowerMode = enabled;
    }
    return BatteryEvent::lowPowerMode(enabled);
}
