#pragma once
// An in-process power source for tests: a battery reading and a power-saving
// mode that a test scripts. While started, every change is sent to the
// handlers at once, on the calling thread.

#include "Platform/Power/PowerSource.h"

#include <vector>

class FakePowerSource final : public PowerSource {
public:
    /// `connected` false plays a machine without a system bus: start() fails
    /// and nothing is ever sent.
    explicit FakePowerSource(std::optional<PowerSourceReading> battery = PowerSourceReading{},
                             bool connected = true);

    // Scripting.

    /// Changes the battery as the daemon would and reports it.
    void changeBattery(std::optional<PowerSourceReading> battery);
    /// Changes the power-saving mode and reports it, also when it is unchanged
    /// (the daemon may announce the same value twice).
    void changeLowPowerMode(bool enabled);

    bool isStarted() const { return m_started; }
    int readCount() const { return m_readCount; }

    // PowerSource
    void setHandlers(Handlers handlers) override { m_handlers = std::move(handlers); }
    bool start() override;
    void stop() override { m_started = false; }
    std::optional<PowerSourceReading> readBattery() override;
    bool readLowPowerMode() override { return m_connected && m_lowPowerMode; }
    /// Answers at once, unless held.
    void readAll(ReadDone done) override;

    /// While held, readAll() keeps its answer until releaseReads(), which
    /// answers with the state then, as a daemon that was slow to answer.
    void holdReads() { m_holdingReads = true; }
    void releaseReads();

private:
    std::optional<PowerSourceReading> m_battery;
    bool m_lowPowerMode = false;
    bool m_connected;
    bool m_started = false;
    int m_readCount = 0;
    Handlers m_handlers;
    bool m_holdingReads = false;
    std::vector<ReadDone> m_heldReads;
};
