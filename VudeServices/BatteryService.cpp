#include "VudeServices/BatteryService.h"

#include "Platform/Power/UPowerPowerSource.h"

BatteryState batteryState(const PowerSourceReading& reading, bool lowPowerMode)
{
    return {
        .percentage = reading.percentage,
        .isCharging = reading.isCharging,
        .isPluggedIn = reading.isPluggedIn,
        .isCharged = reading.isCharged,
        .lowPowerMode = lowPowerMode,
        .timeRemaining = reading.timeRemaining,
    };
}

BatteryService::BatteryService() : BatteryService(std::make_unique<UPowerPowerSource>()) {}

BatteryService::BatteryService(std::unique_ptr<PowerSource> source) : m_source(std::move(source))
{
    m_source->setHandlers({
        .batteryChanged = [this](const std::optional<PowerSourceReading>& reading) { onBatteryChanged(reading); },
        .lowPowerModeChanged = [this](bool enabled) { onLowPowerModeChanged(enabled); },
    });
}

BatteryService::~BatteryService()
{
    m_source->setHandlers({});
    m_source->stop();
}

void BatteryService::start()
{
    // Following first, so a change made while the state is read is not missed;
    // at worst it is compared with a state that already has it.
    const bool following = m_source->start();
    const std::uint64_t generation = ++m_startGeneration;
    m_wantsBattery = true;
    m_awaitingFirstReading = true;
    m_readingDuringStart.reset();
    m_lowPowerModeDuringStart.reset();
    m_source->readAll([this, generation, following](const std::optional<PowerSourceReading>& read, bool lowPower) {
        if (generation != m_startGeneration)
            return;
        m_awaitingFirstReading = false;
        // A change reported meanwhile was read after the start: it is newer.
        const auto reading = m_readingDuringStart.value_or(read);
        const bool lowPowerMode = m_lowPowerModeDuringStart.value_or(lowPower);
        m_readingDuringStart.reset();
        m_lowPowerModeDuringStart.reset();
        m_detector.begin(reading ? batteryState(*reading, lowPowerMode) : BatteryState{.lowPowerMode = lowPowerMode},
                         reading.has_value());
        // Stopped meanwhile: the reading is only the state to compare with.
        m_followingBattery = following && m_wantsBattery;
    });
}

void BatteryService::stop()
{
    m_followingBattery = false;
    m_wantsBattery = false;
}

BatteryState BatteryService::currentState() const
{
    const bool lowPowerMode = m_source->readLowPowerMode();
    const auto reading = m_source->readBattery();
    return reading ? batteryState(*reading, lowPowerMode) : BatteryState{.lowPowerMode = lowPowerMode};
}

void BatteryService::onBatteryChanged(const std::optional<PowerSourceReading>& reading)
{
    if (m_awaitingFirstReading) {
        m_readingDuringStart = reading;
        return;
    }
    if (!m_followingBattery)
        return;
    std::optional<BatteryState> state;
    if (reading)
        state = batteryState(*reading, false);
    for (auto& event : m_detector.poll(state))
        m_events.yield(std::move(event));
}

void BatteryService::onLowPowerModeChanged(bool enabled)
{
    if (m_awaitingFirstReading) {
        m_lowPowerModeDuringStart = enabled;
        return;
    }
    if (const auto event = m_detector.lowPowerModeChanged(enabled))
        m_events.yield(*event);
}
