#pragma once
// One countdown of the Desk. Running while it has a start; paused (or never
// started) otherwise, with its remainder kept in pausedRemaining (or the
// whole total when it was never started).

#include "VudeKit/ClockSource.h"
#include "VudeKit/Date.h"
#include "VudeKit/Uuid.h"

#include <optional>
#include <string>
#include <string_view>

struct VudeTimer {
    Uuid id;
    std::string label;
    /// The whole length, in seconds.
    double total = 0;
    /// The effective start: when an uninterrupted countdown of `total` would
    /// have begun. Present exactly while running.
    std::optional<Date> startedAt;
    /// The seconds left while paused.
    std::optional<double> pausedRemaining;

    bool isRunning() const { return startedAt.has_value(); }
    /// Seconds left at `date`: never below 0 while running; the paused
    /// remainder, else the total, otherwise.
    double remaining(Date date) const;
    /// Running and nothing left at `date`. A paused timer never finishes.
    bool hasFinished(Date date) const;
    /// The part done, 0...1 for a sound timer: 0 when `total` is not positive.
    double progress(Date now) const;
    double progress(const ClockSource& clock) const { return progress(clock.now()); }

    /// A compact JSON object with the keys "id", "label", "total",
    /// "startedAt" and "pausedRemaining"; absent optionals are left out,
    /// dates are seconds since 2001-01-01 UTC.
    std::string encoded() const;
    /// None unless `json` is an object with "id", "label" and "total" of
    /// their types (and the optional keys, when there, numbers or null).
    static std::optional<VudeTimer> decoded(std::string_view json);

    friend bool operator==(const VudeTimer&, const VudeTimer&) = default;
};
