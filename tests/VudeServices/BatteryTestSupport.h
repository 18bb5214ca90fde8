#pragma once
// Readable failure messages for the battery value types.

#include "VudeServices/BatteryState.h"

#include <ostream>
#include <type_traits>

inline void PrintTo(const BatteryEvent& event, std::ostream* out)
{
    std::visit(
        [out](const auto& value) {
            using Case = std::decay_t<decltype(value)>;
            if constexpr (std::is_same_v<Case, BatteryEvent::PluggedIn>)
                *out << "pluggedIn(" << value.percentage << ")";
            else if constexpr (std::is_same_v<Case, BatteryEvent::Unplugged>)
                *out << "unplugged(" << value.percentage << ")";
            else if constexpr (std::is_same_v<Case, BatteryEvent::LowBattery>)
                *out << "lowBattery(" << value.percentage << ")";
            else if constexpr (std::is_same_v<Case, BatteryEvent::LowPowerMode>)
                *out << "lowPowerMode(" << (value.isEnabled ? "true" : "false") << ")";
            else
                *out << "charged";
        },
        event.value());
}

inline void PrintTo(const BatteryState& state, std::ostream* out)
{
    *out << "{" << state.percentage << (state.isCharging ? ", charging" : "")
         << (state.isPluggedIn ? ", plugged in" : "") << (state.isCharged ? ", charged" : "")
         << (state.lowPowerMode ? ", low power" : "");
    if (state.timeRemaining)
        *out << ", " << *state.timeRemaining << " s left";
    *out << (state.isPresent ? "" : ", absent") << "}";
}
