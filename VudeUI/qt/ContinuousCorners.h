#pragma once
// Rounded rectangles with continuous corners: the curvature eases in from the
// straight edge instead of jumping to a circle's, so small rounded squares
// (artwork, cards) read as smooth shapes rather than boxes with arcs.

#include <QPainterPath>
#include <QRectF>

/// `rect` with continuous corners of `radius`. A corner needs about 1.53 ×
/// `radius` of each edge; where the sides are too short for that, the corners
/// are circular arcs of at most half the shorter side (a capsule at most).
QPainterPath continuousRoundedRect(const QRectF& rect, double radius);
