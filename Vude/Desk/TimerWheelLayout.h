#pragma once
// Where a duration wheel's rows are, as plain values: the wheel scrolls a
// column of one row per value, `offset` points down from the first row's
// centre, so row i sits in the middle band at offset i x rowHeight. Scrolling
// stops at the first and the last row; at rest it snaps to a whole row.
//
// HapticThrottle is the wheel's rule for its ticks: at most one per 40 ms,
// the first always.

#include "VudeKit/Date.h"

#include <optional>

struct TimerWheelLayout {
    /// Rows the wheel offers.
    int count = 0;
    double rowHeight = 26;
    int visibleRows = 3;

    double height() const { return rowHeight * visibleRows; }
    /// The offset at which row `index` is centred.
    double offsetOf(int index) const { return index * rowHeight; }
    /// `offset` kept between the first and the last row.
    double clamped(double offset) const;
    /// The row nearest the middle at `offset` (halfway rounds down the list).
    int nearestRow(double offset) const;
    /// The vertical centre of row `index` at `offset`, in the wheel's
    /// coordinates.
    double rowCentre(int index, double offset) const { return height() / 2 + index * rowHeight - offset; }
    /// The first and the last row any part of which shows at `offset`.
    int firstShown(double offset) const;
    int lastShown(double offset) const;
};

struct HapticThrottle {
    static constexpr Duration interval = std::chrono::milliseconds(40);

    /// When the last tick played; none before the first.
    std::optional<Date> last;

    /// Whether a tick plays at `now`: only strictly more than `interval`
    /// after the last one (or when none played yet), which it then becomes.
    bool admit(Date now);
};
