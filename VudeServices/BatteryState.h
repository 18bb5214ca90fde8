#pragma once
// What the battery service reads and announces: the battery's state, and the
// events it turns changes of that state into.

#include <optional>
#include <variant>

struct BatteryState {
    /// 0...1.
    double percentage = 1.0;
    bool isCharging = false;
    bool isPluggedIn = false;
    bool isCharged = false;
    /// The power-saving mode ("power-saver" profile).
    bool lowPowerMode = false;
    /// Seconds until full while charging, else until empty; none while still
    /// being estimated.
    std::optional<double> timeRemaining{};
    bool isPresent = true;

    bool operator==(const BatteryState&) const = default;
};

class BatteryEvent {
public:
    struct PluggedIn {
        double percentage;
        bool operator==(const PluggedIn&) const = default;
    };
    struct Unplugged {
        double percentage;
        bool operator==(const Unplugged&) const = default;
    };
    struct LowBattery {
        double percentage;
        bool operator==(const LowBattery&) const = default;
    };
    struct LowPowerMode {
        bool isEnabled;
        bool operator==(const LowPowerMode&) const = default;
    };
    struct Charged {
        bool operator==(const Charged&) const = default;
    };
    using Value = std::variant<PluggedIn, Unplugged, LowBattery, LowPowerMode, Charged>;

    /// The percentage at the change.
    static BatteryEvent pluggedIn(double percentage) { return BatteryEvent(PluggedIn{percentage}); }
    static BatteryEvent unplugged(double percentage) { return BatteryEvent(Unplugged{percentage}); }
    static BatteryEvent lowBattery(double percentage) { return BatteryEvent(LowBattery{percentage}); }
    /// The new mode.
    static BatteryEvent lowPowerMode(bool isEnabled) { return BatteryEvent(LowPowerMode{isEnabled}); }
    static BatteryEvent charged() { return BatteryEvent(Charged{}); }

    const Value& value() const { return m_value; }
    template <typename Case>
    const Case* as() const { return std::get_if<Case>(&m_value); }

    bool operator==(const BatteryEvent&) const = default;

private:
    explicit BatteryEvent(Value value) : m_value(value) {}
    Value m_value;
};
