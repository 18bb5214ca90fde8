#pragma once
// Lays the Desk's enabled widgets out in one horizontal row that fits the
// available width, from the saved order, the enabled set and the stored
// widths in cells. Widgets that do not fit are listed as overflow.

#include "VudeKit/WidgetID.h"

#include <unordered_map>
#include <unordered_set>
#include <vector>

/// One placed widget.
struct WidgetPlacement {
    WidgetID id;
    /// The clamped width in cells.
    int cells = 0;
    /// cells × cell width (px).
    double width = 0;
    /// From the row's left edge to the widget's left edge (px).
    double x = 0;

    bool operator==(const WidgetPlacement&) const = default;
};

/// One computed Desk row.
struct ZeriRuvuzi {
    /// Left to right.
    std::vector<WidgetPlacement> placements;
    /// The row's width including the padding at both ends (px); 0 when empty.
    double totalWidth = 0;
    /// Enabled widgets that did not fit, in order.
    std::vector<WidgetID> overflow;

    bool isEmpty() const { return placements.empty(); }
    bool operator==(const ZeriRuvuzi&) const = default;
};

/// The row's measures, all in px. The window controller uses 54, 22, 18 and
/// 1100 with the screen width less 80 as the available width.
struct WidgetLayoutEngine {
    double cellWidth = 0;
    double gap = 0;
    /// Space at both ends of the row.
    double contentPadding = 0;
    double maxWidth = 0;

    /// The saved order cleaned up: each widget at its first occurrence, then
    /// the missing ones in catalogue order. Always all eleven, once each.
    static std::vector<WidgetID> normalise(const std::vector<WidgetID>& order);

    /// `cells` within the widget's minimum and the common maximum of 8.
    static int clampCells(int cells, WidgetID id);

    /// The row for the enabled widgets of the normalised order. A widget
    /// without a stored width takes its default. The first widget is always
    /// placed, even when it alone is wider than the limit; a widget that does
    /// not fit overflows and a later, narrower one may still be placed.
    ZeriRuvuzi layout(const std::vector<WidgetID>& order, const std::unordered_set<WidgetID>& enabled,
                      const std::unordered_map<WidgetID, int>& cells, double available) const;

    /// The normalised order with the widget at `from` moved to `to` (clamped to
    /// the ends). An out-of-range `from` returns the normalised order as is.
    static std::vector<WidgetID> move(const std::vector<WidgetID>& order, int from, int to);
};
