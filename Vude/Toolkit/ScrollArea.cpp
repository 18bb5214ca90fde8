#include "Vude/Toolkit/ScrollArea.h"

#include <QWheelEvent>

ScrollArea::ScrollArea(QWidget* parent) : QScrollArea(parent)
{
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWidgetResizable(true);
    setFocusPolicy(Qt::NoFocus);
    viewport()->setAutoFillBackground(false);
    setAutoFillBackground(false);
    QPalette transparent = palette();
    transparent.setColor(QPalette::Window, Qt::transparent);
    transparent.setColor(QPalette::Base, Qt::transparent);
    setPalette(transparent);
}

void ScrollArea::wheelEvent(QWheelEvent* event)
{
    // The slider ignores a wheel that cannot move it; we keep it anyway.
    QScrollArea::wheelEvent(event);
    event->accept();
}
