#pragma once
// What the timer widget and its duration picker decide, as plain values: a
// countdown's text and ring, the presets' texts, when Start may be pressed,
// and how a length splits into the picker's hours, minutes and seconds and
// is put back together.

#include "Vude/Shell/NotchDeskServices.h"

#include <array>
#include <string>

struct TimerLayout {
    /// The presets offered under the picker, in seconds, in order.
    static constexpr std::array<double, 3> presets{60, 300, 600};
    /// Below this many seconds nothing can be started.
    static constexpr double shortestStart = 1;

    /// Seconds left at `now`: a running timer's total less the time since it
    /// started (never below 0), else its paused remainder or its total.
    static double remaining(const NotchTimer& timer, Date now);
    /// `seconds` rounded up to a whole second, as "m:ss" below an hour and
    /// "h:mm:ss" from one hour; nothing below 0 (or NaN) shows as 0:00.
    static std::string formatted(double seconds);
    /// The part of the ring drawn, 0...1: 1 less the share left, 0 for a
    /// total that is not positive.
    static double progress(double total, double remaining);
    /// "1m", "5m", "10m"; whole hours ("1h") from an hour.
    static std::string presetText(double seconds);
    static bool canStart(double duration) { return duration >= shortestStart; }
};

/// A length as the picker's three wheels show it: its whole seconds split
/// into hours, minutes and seconds.
struct DurationComponents {
    /// The wheels' ranges: 0 up to, not including, these.
    static constexpr int hourCount = 24;
    static constexpr int minuteCount = 60;
    static constexpr int secondCount = 60;

    int hours = 0;
    int minutes = 0;
    int seconds = 0;

    /// The whole seconds of `duration`, truncated toward zero; a negative,
    /// NaN or out-of-range length is clamped into what the wheels can show.
    static DurationComponents of(double duration);
    /// The length in whole seconds.
    double total() const { return double(hours) * 3600 + double(minutes) * 60 + double(seconds); }

    bool operator==(const DurationComponents&) const = default;
};
