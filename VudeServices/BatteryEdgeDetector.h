#pragma once
// The battery service's decisions: which events a new reading of the battery
// amounts to, compared with the previous one. Plain values, no I/O.
//
// A poll yields, in this order: pluggedIn/unplugged when the power source
// changed, charged when the battery became fully charged, and lowBattery once
// per discharge: when on battery at or below the threshold. The warning is
// latched until the machine is plugged in or rises above threshold +
// hysteresis, so hovering around the threshold warns once. The power-saving
// mode is compared separately, by lowPowerModeChanged().

#include "VudeServices/BatteryState.h"

#include <optional>
#include <vector>

class BatteryEdgeDetector {
public:
    double lowBatteryThreshold = 0.2;
    double hysteresis = 0.05;

    /// Starts comparing from `state` (read when the service starts).
    /// `hasBattery` false: the state is only the default one, so the first
    /// real reading is taken as it is, without events, instead of being
    /// compared with made-up values.
    void begin(const BatteryState& state, bool hasBattery);

    /// The events a new reading amounts to. None reading (no battery, or the
    /// daemon went away) yields nothing and keeps the previous state. The
    /// reading's power-saving mode is ignored: that is compared only by
    /// lowPowerModeChanged().
    std::vector<BatteryEvent> poll(const std::optional<BatteryState>& reading);

    /// The event a power-saving mode announcement amounts to: none when the
    /// previous state already has that mode.
    std::optional<BatteryEvent> lowPowerModeChanged(bool enabled);

    const std::optional<BatteryState>& previous() const { return m_previous; }
    bool isLowBatteryLatched() const { return m_lowBatteryLatched; }

private:
    std::optional<BatteryState> m_previous;
    bool m_previousIsReading = false;
    bool m_lowBatteryLatched = false;
};
