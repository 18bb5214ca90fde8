#pragma once
// Where everything of the open Desk goes, from the panel's content size W ×
// H, the notch N, the horizontal inset and the widths of the placed widgets.
// Plain values: RavoView measures its buttons, asks, and places and paints
// what this says. Rectangles are the Desk view's own coordinates (top-left
// origin), in points.
//
// The header is as high as the notch (or taller, under a notch too short
// for its tabs): the tab buttons on the left of it, a clear gap the notch's
// width, Settings and Close on its right.
// Below it, after 4 points, the content: the widget row (cells separated by
// 22-point gaps with a 1-point divider in the middle of each, 10 points free
// at the bottom), the empty state, or the tray tab's slot.
//
// Each cell gets the row's slack on top of its width, so that the cells and
// gaps span exactly W − 2 × inset. Cell edges are rounded one by one from
// their running sums, so whole-pixel cells still end exactly there. A row
// wider than that keeps its widths (no slack) and stays centred; its cells
// clip what overflows.

#include "VudeKit/Geometry.h"

#include <optional>
#include <vector>

struct RavoLayout {
    /// Between widget columns.
    static constexpr double gap = 22;
    /// Between the header and the content.
    static constexpr double headerSpacing = 4;
    /// Free under the widget row.
    static constexpr double rowBottomPadding = 10;
    /// Free under the tray tab's banner and tray.
    static constexpr double trayBottomPadding = 8;
    /// Between the banner and the tray.
    static constexpr double traySpacing = 6;
    /// Between the two tab buttons.
    static constexpr double tabSpacing = 6;
    /// Between Settings and Close.
    static constexpr double actionSpacing = 8;
    static constexpr double dividerWidth = 1;
    /// The tray badge: its side, and its offset from the tray tab's
    /// top-trailing corner.
    static constexpr double badgeSide = 5;
    static constexpr double badgeOffsetX = 3;
    static constexpr double badgeOffsetY = -2;

    struct Input {
        /// The panel's content size for the open state.
        Size content;
        Size notch;
        /// The header's height when the notch is shorter than that.
        double headerHeight = 0;
        double inset = 0;
        /// The placed widgets' widths, in row order.
        std::vector<double> widths;
        /// The buttons' own sizes.
        Size deskTab;
        Size trayTab;
        Size settings;
        Size close;
    };

    /// max(0, (W − 2 × inset − N.w) / 2): each header zone beside the notch.
    double sideZoneWidth = 0;
    /// What every placed widget gets on top of its width; 0 without
    /// widgets or when they do not fit.
    double extraWidthPerWidget = 0;

    Rect header;
    Rect deskTab;
    Rect trayTab;
    Rect settings;
    Rect close;
    /// Drawn over the tray tab while the tray holds items and the Desk tab
    /// is shown.
    Rect badge;

    /// Everything under the header.
    Rect content;
    /// One per placed widget, in row order.
    std::vector<Rect> cells;
    /// One before every cell but the first, as high as the cells.
    std::vector<Rect> dividers;
    /// Where the empty Desk's placeholder goes.
    Rect emptyState;
    /// Where the tray tab's banner and tray go.
    Rect tray;

    static double sideZone(double contentWidth, double notchWidth, double inset);
    static double extraWidth(double contentWidth, double inset, const std::vector<double>& widths);
    static RavoLayout layout(const Input& input);
};
