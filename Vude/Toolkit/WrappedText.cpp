#include "Vude/Toolkit/WrappedText.h"

#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace {

/// Lays `layout` out in lines `width` wide; returns the size it takes.
QSizeF layOut(QTextLayout& layout, double width, Qt::Alignment alignment)
{
    QTextOption option(alignment & Qt::AlignHorizontal_Mask);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.setCacheEnabled(true);
    double height = 0;
    double widest = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, height));
        height += line.height();
        widest = std::max(widest, line.naturalTextWidth());
    }
    layout.endLayout();
    return {std::min(widest, width), height};
}

} // namespace

namespace WrappedText {

QSizeF size(const QString& text, const QFont& font, double width)
{
    if (text.isEmpty() || !(width > 0))
        return {};
    QTextLayout layout(text, font);
    const QSizeF laid = layOut(layout, width, Qt::AlignHCenter);
    return {std::ceil(laid.width()), std::ceil(laid.height())};
}

void draw(QPainter& painter, const QRectF& rect, const QString& text, const QFont& font, const QColor& color,
          Qt::Alignment alignment)
{
    if (text.isEmpty() || !(rect.width() > 0))
        return;
    QTextLayout layout(text, font);
    layOut(layout, rect.width(), alignment);
    painter.save();
    painter.setPen(color);
    layout.draw(&painter, rect.topLeft());
    painter.restore();
}

} // namespace WrappedText
