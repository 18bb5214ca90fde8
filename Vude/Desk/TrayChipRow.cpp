#include "Vude/Desk/TrayChipRow.h"

#include <QScrollBar>
#include <QWheelEvent>

#include <cmath>
#include <cstdlib>

TrayChipRow::TrayChipRow(QWidget* parent) : ScrollArea(parent)
{
    setWidgetResizable(false);
}

void TrayChipRow::wheelEvent(QWheelEvent* event)
{
    event->accept();
    // The larger of the two axes moves the row; a touchpad says points.
    const QPoint pixels = event->pixelDelta();
    const QPoint angle = event->angleDelta();
    double delta = 0;
    if (!pixels.isNull())
        delta = std::abs(pixels.x()) > std::abs(pixels.y()) ? pixels.x() : pixels.y();
    else
        delta = (std::abs(angle.x()) > std::abs(angle.y()) ? angle.x() : angle.y()) / 120.0 * pointsPerNotch;
    QScrollBar* bar = horizontalScrollBar();
    bar->setValue(bar->value() - int(std::lround(delta)));
}
