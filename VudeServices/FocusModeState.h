#pragma once
// Whether a Focus mode (Do Not Disturb and its kin) is on and, when known,
// which one: its name and symbol.

#include <optional>
#include <string>

struct FocusModeState {
    bool isActive = false;
    std::optional<std::string> modeName{};
    std::string symbol = "moon.fill";

    /// The mode's name, else "Focus".
    std::string displayName() const { return modeName.value_or("Focus"); }

    bool operator==(const FocusModeState&) const = default;
};
