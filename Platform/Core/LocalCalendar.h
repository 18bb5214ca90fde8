#pragma once
// Days as the user sees them: the Gregorian calendar in the local time zone
// (TZ, else the system's zone). Day arithmetic counts calendar days, never
// multiples of 24 hours, so a day with a clock change is still one day, 23
// or 25 hours long.
//
// The zone is read once and kept: call refreshTimeZone() before a batch of
// conversions so that a zone the user changed since applies.

#include "VudeKit/Date.h"

#include <chrono>
#include <cstdint>
#include <optional>

namespace LocalCalendar {

/// Reads the local time zone again.
void refreshTimeZone();

/// The local calendar day holding `date`.
std::chrono::year_month_day day(Date date);

/// The first moment of the local day `day`: midnight, or the first moment
/// after a clock change that skips midnight. None when out of range.
std::optional<Date> startOfDay(std::chrono::year_month_day day);

/// The first moment of the local day holding `date`.
Date startOfDay(Date date);

/// The first moment of the local day `days` calendar days after the one
/// holding `date` (before it when negative); none when that day or its start
/// is out of range.
std::optional<Date> startOfDay(Date date, std::int64_t days);

/// Both dates fall on the same local day.
bool isSameDay(Date a, Date b);

/// The moment the local clock reads `day` at `time` (seconds after
/// midnight). A time the clock skips (spring forward) is read with the
/// offset before the change, so it lands as far after the change as it was
/// after the skipped hour's start; a time the clock shows twice (fall back)
/// gives the earlier moment. None when out of range.
std::optional<Date> fromLocalTime(std::chrono::year_month_day day, std::chrono::seconds time);

} // namespace LocalCalendar
