#pragma once
// Points in time and intervals, on a microsecond grid so that time boundaries
// compare exactly, and the stored form: seconds since 2001-01-01 00:00:00 UTC.

#include <chrono>
#include <cstdint>

using Duration = std::chrono::microseconds;
using Date = std::chrono::sys_time<Duration>;

/// 2001-01-01 00:00:00 UTC, the origin of stored dates.
inline constexpr Date kReferenceDate{std::chrono::sys_days{std::chrono::year{2001} / 1 / 1}};

/// Seconds since the reference date, as stored in files.
double secondsSinceReferenceDate(Date date);

/// The inverse of secondsSinceReferenceDate: exact for every date it produced.
/// NaN gives the reference date; values beyond the representable range saturate.
Date dateFromSecondsSinceReferenceDate(double seconds);

/// `date` + `by`, clamped to the ends of Date's range instead of overflowing
/// (durations are not always validated: an "endless" one must not wrap
/// around into the past).
Date saturatingAdd(Date date, Duration by);

/// A duration in seconds as a double (the unit most texts and files use).
double toSeconds(Duration duration);

/// Seconds as a duration, rounded to the nearest microsecond; NaN gives zero,
/// values beyond the representable range saturate.
Duration durationFromSeconds(double seconds);
