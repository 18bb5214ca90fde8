#pragma once
// The built-in display's brightness: a read and a clamped set for the
// brightness keys, and a stream of the level while it changes.
//
// Bound once when made: available when the backlight gives a valid level
// then. After start() the level is polled every 0.2 s and each change of more
// than 0.004 is published; nothing is published at start.
//
// Linux has one panel backlight, the built-in screen's. The display numbers
// callers pass keep the calls the same on every system; every number names
// that backlight.

#include "Platform/Core/LatestStream.h"
#include "Platform/Display/Backlight.h"
#include "VudeKit/Scheduler.h"
#include "VudeServices/BacklightPoll.h"
#include "VudeServices/BrightnessState.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class BrightnessService final {
public:
    /// States not yet taken by the consumer beyond this many are dropped,
    /// oldest first.
    static constexpr std::size_t stateBufferSize = 2;

    /// `scheduler` runs the poll timer and must outlive the service. Main
    /// thread.
    BrightnessService(std::unique_ptr<Backlight> backlight, Scheduler& scheduler);

    /// The panel backlight of this system (sysfs, set through logind on the
    /// system bus) on `scheduler`.
    static std::unique_ptr<BrightnessService> forSystem(Scheduler& scheduler);

    BrightnessService(const BrightnessService&) = delete;
    BrightnessService& operator=(const BrightnessService&) = delete;

    /// The stream of states; consume it on the main thread.
    LatestStream<BrightnessState> states() const { return m_states; }

    BrightnessState::Source source() const { return m_source; }
    bool isAvailable() const { return m_source != BrightnessState::Source::unavailable; }

    /// The level now; none when it cannot be read or is not valid.
    std::optional<double> read(std::uint32_t display) const;
    /// Clamps the level to 0...1 (NaN gives 0) and sets it; true when the
    /// backlight took it or is setting it. False when there is no backlight
    /// device at all.
    bool set(double level, std::uint32_t display);
    /// The level with the bound source, or (0, false, unavailable) when it
    /// cannot be read.
    BrightnessState currentState() const;

    /// Starts polling; does nothing while unavailable. Main thread.
    void start();
    /// Stops polling. Main thread.
    void stop();

    /// Which back end runs, for its own line in the developer trace.
    std::string backendDescription() const { return m_backlight->description(); }

private:
    const std::unique_ptr<Backlight> m_backlight;
    BrightnessState::Source m_source = BrightnessState::Source::unavailable;
    LatestStream<BrightnessState> m_states{stateBufferSize};
    BacklightPoll m_poll;
};
