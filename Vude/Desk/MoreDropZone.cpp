#include "Vude/Desk/MoreDropZone.h"

#include "Vude/Desk/TrayLayout.h"
#include "Vude/Toolkit/Strokes.h"
#include "VudeUI/qt/QtTokens.h"
#include "VudeUI/qt/SymbolCatalog.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

MoreDropZone::MoreDropZone(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAccessibleName(text);
}

void MoreDropZone::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.strokePath(insideStrokePath(rect(), TrayLayout::moreRadius, 1),
                       dashedPen(toQColor(Vude::Ink::x700), 1, {5, 4}));

    constexpr double size = 10;
    const QFont font = systemFont(size);
    const QFontMetricsF metrics(font);
    const double side = std::ceil(size * SymbolCatalog::kOpticalScale);
    const double textWidth = std::ceil(metrics.horizontalAdvance(text));
    constexpr double spacing = 5;
    const double x = (width() - side - spacing - textWidth) / 2;
    const double middle = height() / 2.0;
    const QColor ink = toQColor(Vude::Stone::x400);
    SymbolCatalog::draw(painter, QRectF(x, middle - side / 2, side, side), "plus", ink, size);
    painter.setFont(font);
    painter.setPen(ink);
    painter.drawText(QRectF(x + side + spacing, middle - metrics.height() / 2, textWidth + 1, metrics.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, text);
}
