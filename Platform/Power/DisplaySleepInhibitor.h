#pragma once
// Keeping the display awake: an inhibition of the desktop's idle handling
// (screen blanking, locking for inactivity, idle suspend), held under an id
// until released. The Linux backend (ScreenSaverInhibitor) asks the desktop's
// screen saver service, else the desktop portal; tests use
// FakeDisplaySleepInhibitor.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class DisplaySleepInhibitor {
public:
    virtual ~DisplaySleepInhibitor() = default;

    /// Whether the desktop offers a way to inhibit at all. Asks the bus, so it
    /// blocks briefly.
    virtual bool isAvailable() = 0;

    /// Holds the display awake, giving `reason` for the desktop to show.
    /// Returns the inhibition's id (never 0), or none when there is nothing
    /// to ask. A backend may answer before the desktop has: should the
    /// desktop then refuse, the lost handler hears of the id.
    virtual std::optional<std::uint32_t> inhibit(const std::string& reason) = 0;

    /// Lets an inhibition go; an unknown id does nothing. Failures are
    /// ignored: a desktop also ends an inhibition when the app goes away.
    virtual void release(std::uint32_t id) = 0;

    /// Runs, from the event loop, for an inhibition the desktop refused after
    /// inhibit() had given its id; the id is released by then. Never runs
    /// after the inhibitor is gone.
    using LostHandler = std::function<void(std::uint32_t id)>;
    virtual void setLostHandler(LostHandler handler) = 0;
};
