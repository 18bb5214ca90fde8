#pragma once
// Shape paths and rectangles as Qt values.

#include "VudeUI/ShapePath.h"

#include <QPainterPath>
#include <QRectF>

QPainterPath toQPainterPath(const ShapePath& path);

inline QRectF toQRectF(const UIRect& rect)
{
    return {rect.x, rect.y, rect.width, rect.height};
}

inline UIRect toUIRect(const QRectF& rect)
{
    return UIRect{rect.x(), rect.y(), rect.width(), rect.height()};
}
