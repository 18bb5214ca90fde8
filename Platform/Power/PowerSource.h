#pragma once
// The machine's battery and power-saving mode as the battery service sees
// them. The Linux backend (UPowerPowerSource) reads UPower's display device
// and power-profiles-daemon over the system bus; tests use FakePowerSource.

#include <functional>
#include <optional>

/// One reading of the battery (all batteries combined).
struct PowerSourceReading {
    /// 0...1.
    double percentage = 1.0;
    bool isCharging = false;
    /// Running from mains power.
    bool isPluggedIn = false;
    bool isCharged = false;
    /// Seconds until full while charging, else until empty; none while the
    /// daemon is still estimating.
    std::optional<double> timeRemaining{};

    bool operator==(const PowerSourceReading&) const = default;
};

class PowerSource {
public:
    struct Handlers {
        /// Something about the battery changed; `reading` is the state after
        /// the change, none when no battery can be read any more.
        std::function<void(const std::optional<PowerSourceReading>& reading)> batteryChanged;
        /// The power-saving mode may have changed; the mode as read now.
        std::function<void(bool lowPowerMode)> lowPowerModeChanged;
    };

    virtual ~PowerSource() = default;

    /// Handlers run on the thread that owns the backend (the main thread),
    /// from its event loop, never from inside a call into the backend.
    virtual void setHandlers(Handlers handlers) = 0;

    /// Starts following changes; false when there is no bus to follow them
    /// on, and then no handler ever runs.
    virtual bool start() = 0;
    virtual void stop() = 0;

    /// What readBattery() and readLowPowerMode() would answer, without
    /// waiting: `done` runs once, from the event loop or at once.
    using ReadDone = std::function<void(const std::optional<PowerSourceReading>& reading, bool lowPowerMode)>;
    virtual void readAll(ReadDone done) = 0;

    // The reads ask the daemons now and block the calling thread briefly:
    // never on the main thread.

    /// The battery now; none when the machine has none or no daemon answers.
    virtual std::optional<PowerSourceReading> readBattery() = 0;
    /// Whether the power-saving mode is on; false when no daemon answers.
    virtual bool readLowPowerMode() = 0;
};
