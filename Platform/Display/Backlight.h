#pragma once
// A backlight as the brightness services see it: one level from 0 to 1 to
// read and set, for the built-in panel or for the keyboard.
//   SysfsBacklight  the kernel's backlight and LED devices, set through logind
//   FakeBacklight   a level kept in memory (tests)

#include <optional>
#include <string>

class Backlight {
public:
    virtual ~Backlight() = default;

    /// A device stands behind this backlight. Fixed once made.
    virtual bool isAvailable() const = 0;

    /// The level now; none when there is no device or it cannot be read. The
    /// value is the device's own ratio and may be out of range when the
    /// device misreports; callers check it. Any thread.
    virtual std::optional<double> level() const = 0;

    /// Sets the level (callers clamp it to 0...1) without waiting for a
    /// daemon; true when the device took it or the set is under way, and
    /// level() reads the new level from then on. Main thread.
    virtual bool setLevel(double level) = 0;

    /// What serves this backlight, for the developer trace.
    virtual std::string description() const = 0;
};
