#pragma once
// Keeping the display awake: an inhibition of the desktop's idle handling
// (screen blanking, locking for inactivity, idle suspend), held under an id
// until released. The Linux backend (ScreenSaverInhibitor) asks the desktop's
// screen saver service, else the desktop portal; tests use
// FakeDisplaySleepInhibitor.

#include <cstdint>
#include <optional>
#include <string>

class DisplaySleepInhibitor {
public:
    virtual ~DisplaySleepInhibitor() = default;

    /// Whether the desktop offers a way to inhibit at all. Asks the bus, so it
    /// blocks briefly.
    virtual bool isAvailable() = 0;

    /// Holds the display awake, giving `reason` for the desktop to show.
    /// Returns the inhibition's id (never 0), or none when nothing accepted
    /// it. Blocks until the desktop answers.
    virtual std::optional<std::uint32_t> inhibit(const std::string& reason) = 0;

    /// Lets an inhibition go; an unknown id does nothing. Failures are
    /// ignored: a desktop also ends an inhibition when the app goes away.
    virtual void release(std::uint32_t id) = 0;
};
