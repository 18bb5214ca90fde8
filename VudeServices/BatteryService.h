#pragma once
// Watches the battery and the power-saving mode and publishes a stream of
// BatteryEvent: plugged in, unplugged, low battery, Low Power Mode on or off,
// fully charged (see BatteryEdgeDetector for when each fires).
//
// start() reads the battery as the state later changes are compared with;
// every change the power source reports afterwards is one poll. A machine
// without a battery, or without a power daemon, keeps the default state and
// publishes nothing. Main thread only.

#include "Platform/Core/LatestStream.h"
#include "Platform/Power/PowerSource.h"
#include "VudeServices/BatteryEdgeDetector.h"

#include <cstdint>
#include <memory>
#include <optional>

class BatteryService final {
public:
    /// Events not yet taken by the consumer beyond this many are dropped,
    /// oldest first.
    static constexpr std::size_t eventBufferSize = 8;

    /// UPower and power-profiles-daemon on the system bus.
    BatteryService();
    explicit BatteryService(std::unique_ptr<PowerSource> source);
    ~BatteryService();

    BatteryService(const BatteryService&) = delete;
    BatteryService& operator=(const BatteryService&) = delete;

    /// The stream of events; consume it on the main thread. Never finished.
    LatestStream<BatteryEvent> events() const { return m_events; }

    /// At or below this, on battery, warns once per discharge. Default 0.2.
    double lowBatteryThreshold() const { return m_detector.lowBatteryThreshold; }
    void setLowBatteryThreshold(double threshold) { m_detector.lowBatteryThreshold = threshold; }
    /// How far above the threshold the battery must rise to warn again.
    double hysteresis() const { return m_detector.hysteresis; }

    /// Follows the power source, comparing with the battery as read once the
    /// daemons answer (previous() has it then); changes reported before that
    /// only move the state compared with, since they are part of how things
    /// stood at start. Never waits. Calling it again starts over from a
    /// fresh reading.
    void start();
    /// Stops following the battery. The power-saving mode is still followed:
    /// it is a setting of the whole system, announced whenever it changes.
    void stop();

    /// The battery read now, on the calling thread, which waits for the
    /// daemons: never on the main thread. The default state with the
    /// power-saving mode when there is no battery to read.
    BatteryState currentState() const;

    /// The last state compared with, which the main thread reads instead of
    /// currentState(); none before start() has its first reading.
    const std::optional<BatteryState>& previous() const { return m_detector.previous(); }

private:
    void onBatteryChanged(const std::optional<PowerSourceReading>& reading);
    void onLowPowerModeChanged(bool enabled);

    const std::unique_ptr<PowerSource> m_source;
    LatestStream<BatteryEvent> m_events{eventBufferSize};
    BatteryEdgeDetector m_detector;
    bool m_followingBattery = false;
    // Between start() and its first reading: what was reported meanwhile.
    std::uint64_t m_startGeneration = 0;
    bool m_awaitingFirstReading = false;
    bool m_wantsBattery = false; // between start() and stop()
    std::optional<std::optional<PowerSourceReading>> m_readingDuringStart;
    std::optional<bool> m_lowPowerModeDuringStart;
};

/// The battery state a power-source reading amounts to.
BatteryState batteryState(const PowerSourceReading& reading, bool lowPowerMode);
