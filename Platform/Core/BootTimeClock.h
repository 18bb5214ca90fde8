#pragma once
// Time for deciding how long something stays up (a pill's expiry): it never
// goes backwards when the wall clock is set, and it keeps counting while the
// machine sleeps, so a pill that expired during sleep is gone on wake. Only
// the difference between two readings means anything; it tells no time of
// day, so nothing shown or stored may read it.

#include "VudeKit/ClockSource.h"

class BootTimeClock final : public ClockSource {
public:
    /// Counted from the reference date, like SteadyClock, so readings stay
    /// small and positive.
    Date now() const override;
};
