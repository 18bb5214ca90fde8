#pragma once
// Where "now" comes from. Everything that reads the time takes a ClockSource
// so tests can drive it with a ManualClock.

#include "VudeKit/Date.h"

class ClockSource {
public:
    virtual ~ClockSource() = default;
    virtual Date now() const = 0;
};

/// The system's wall clock.
class SystemClock final : public ClockSource {
public:
    Date now() const override;
};

/// Steady time, for animations and repaint timers: it never jumps when the
/// wall clock is set (by NTP or by hand). Only the difference between two
/// readings means anything; it tells no time of day.
class SteadyClock final : public ClockSource {
public:
    Date now() const override;
};

/// A clock that moves only when told to. Not thread-safe: tests drive it from
/// one thread.
class ManualClock final : public ClockSource {
public:
    explicit ManualClock(Date start = kReferenceDate) : m_now(start) {}

    Date now() const override { return m_now; }
    void set(Date date) { m_now = date; }
    void advance(Duration by) { m_now += by; }

private:
    Date m_now;
};
