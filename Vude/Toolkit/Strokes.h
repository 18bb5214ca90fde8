#pragma once
// Strokes as the design draws them. A border drawn "inside" a shape keeps
// all of its width within the shape's bounds; Qt centres a pen on the path,
// so the path moves in by half the width and its corners shrink with it.
// Dash lengths are given in points; Qt counts them in pen widths.

#include <QColor>
#include <QPainterPath>
#include <QPen>
#include <QRectF>
#include <QVector>

#include <initializer_list>

/// The rectangle to centre a `lineWidth` stroke on so that it lies wholly
/// inside `bounds`; empty (at the centre) when the line is wider than it.
QRectF insideStrokeRect(const QRectF& bounds, double lineWidth);

/// The path of a continuous-corner rounded rectangle of `radius` on
/// `bounds`, moved in for a stroke of `lineWidth` drawn inside it.
QPainterPath insideStrokePath(const QRectF& bounds, double radius, double lineWidth);

/// `lengths` (on, off, on, off... in points) as Qt's dash pattern for a pen
/// `lineWidth` wide. A width of 0 is Qt's cosmetic pen: one pixel.
QVector<qreal> dashPattern(std::initializer_list<double> lengths, double lineWidth);

/// A pen of `lineWidth` with the dashes `lengths` in points, flat caps so
/// the dashes keep their lengths.
QPen dashedPen(const QColor& color, double lineWidth, std::initializer_list<double> lengths);
