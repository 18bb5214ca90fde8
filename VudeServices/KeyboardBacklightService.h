#pragma once
// The keyboard backlight: a read and a clamped set for the illumination keys,
// and a stream of the level (0...1) while it changes.
//
// Bound once when made: available when the backlight gives a valid level
// then. After start() the level is polled every 0.2 s and each change of more
// than 0.004 is published; nothing is published at start.

#include "Platform/Core/LatestStream.h"
#include "Platform/Display/Backlight.h"
#include "VudeKit/Scheduler.h"
#include "VudeServices/BacklightPoll.h"

#include <memory>
#include <optional>
#include <string>

class KeyboardBacklightService final {
public:
    /// Levels not yet taken by the consumer beyond this many are dropped,
    /// oldest first.
    static constexpr std::size_t levelBufferSize = 2;

    /// `scheduler` runs the poll timer and must outlive the service. Main
    /// thread.
    KeyboardBacklightService(std::unique_ptr<Backlight> backlight, Scheduler& scheduler);

    /// The keyboard backlight of this system (sysfs, set through logind on
    /// the system bus) on `scheduler`.
    static std::unique_ptr<KeyboardBacklightService> forSystem(Scheduler& scheduler);

    KeyboardBacklightService(const KeyboardBacklightService&) = delete;
    KeyboardBacklightService& operator=(const KeyboardBacklightService&) = delete;

    /// The stream of levels; consume it on the main thread.
    LatestStream<double> levels() const { return m_levels; }

    bool isAvailable() const { return m_isAvailable; }

    /// The level now; none when it cannot be read or is not valid.
    std::optional<double> read() const;
    /// Clamps the level to 0...1 (NaN gives 0) and sets it; true when the
    /// backlight took it or is setting it. A keyboard with a few steps moves
    /// at least one step toward a level that differs from its own. False when
    /// there is no keyboard backlight at all.
    bool set(double level);

    /// Starts polling; does nothing while unavailable. Main thread.
    void start();
    /// Stops polling. Main thread.
    void stop();

    /// Which back end runs, for its own line in the developer trace.
    std::string backendDescription() const { return m_backlight->description(); }

private:
    const std::unique_ptr<Backlight> m_backlight;
    bool m_isAvailable = false;
    LatestStream<double> m_levels{levelBufferSize};
    BacklightPoll m_poll;
};
