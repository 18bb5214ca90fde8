#pragma once
// A scroll area for the notch's views. It takes every wheel event over it,
// also at either end of its range and when nothing overflows: the hosting
// view turns a wheel event nobody took into a swipe, and scrolling a list to
// its end must never close the Desk. No frame, a transparent background, no
// scroll bars unless asked for.

#include <QScrollArea>

class ScrollArea : public QScrollArea {
    Q_OBJECT
public:
    explicit ScrollArea(QWidget* parent = nullptr);

protected:
    void wheelEvent(QWheelEvent* event) override;
};
