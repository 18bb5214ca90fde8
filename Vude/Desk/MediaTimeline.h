#pragma once
// What the media widget's scrubber shows for a now-playing state at a
// moment, and how a touch on its bar reads: plain values, so the rules can
// be checked without a view.
//
// The length is the track's duration, at least one second; a track without
// a usable duration (none, not positive or not finite) shows a length of one
// second and cannot be sought in, since a seek there would land at the
// start of whatever is playing.

#include "VudeKit/Date.h"
#include "VudeServices/NowPlayingState.h"

#include <QString>

#include <optional>

struct MediaTimeline {
    /// Seconds shown as elapsed: the scrubbed value while scrubbing, else the
    /// state's position at the moment (0 when it has none).
    double position = 0;
    /// Seconds shown as the total.
    double length = 1;
    /// position / length within 0...1: how much of the bar is filled.
    double fraction = 0;
    /// The bar takes presses: the track has a usable duration.
    bool seekable = false;

    bool operator==(const MediaTimeline&) const = default;

    /// The timeline of `state` at `now`; `scrubValue` while the user scrubs.
    static MediaTimeline of(const NowPlayingState& state, Date now, std::optional<double> scrubValue = std::nullopt);

    /// A usable duration: present, finite and positive.
    static bool hasUsableDuration(const std::optional<double>& duration);

    /// "m:ss": whole minutes (no hour field, so 3725 s is "62:05") and
    /// seconds, both truncated; "0:00" for a negative or not-finite value.
    static QString time(double seconds);

    /// The position a touch `x` points from the bar's leading edge picks on
    /// a bar `width` wide: the share of the width, within 0...1 (a share
    /// that is not a number counts as 0), times `length`.
    static double scrubValue(double x, double width, double length);
};
