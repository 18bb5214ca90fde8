#include "Vude/Toolkit/Strokes.h"

#include "VudeUI/qt/ContinuousCorners.h"

#include <algorithm>
#include <cmath>

QRectF insideStrokeRect(const QRectF& bounds, double lineWidth)
{
    const double half = std::isfinite(lineWidth) ? std::max(0.0, lineWidth) / 2 : 0;
    const double dx = std::min(half, bounds.width() / 2);
    const double dy = std::min(half, bounds.height() / 2);
    return bounds.adjusted(dx, dy, -dx, -dy);
}

QPainterPath insideStrokePath(const QRectF& bounds, double radius, double lineWidth)
{
    const QRectF rect = insideStrokeRect(bounds, lineWidth);
    const double half = (bounds.width() - rect.width()) / 2;
    return continuousRoundedRect(rect, std::max(0.0, radius - half));
}

QVector<qreal> dashPattern(std::initializer_list<double> lengths, double lineWidth)
{
    const double unit = (std::isfinite(lineWidth) && lineWidth > 0) ? lineWidth : 1;
    QVector<qreal> pattern;
    pattern.reserve(qsizetype(lengths.size()));
    for (const double length : lengths)
        pattern.push_back(std::max(0.0, length) / unit);
    return pattern;
}

QPen dashedPen(const QColor& color, double lineWidth, std::initializer_list<double> lengths)
{
    QPen pen(color, lineWidth);
    pen.setCapStyle(Qt::FlatCap);
    pen.setDashPattern(dashPattern(lengths, lineWidth));
    return pen;
}
