#include "Vude/Toolkit/ProgressSpinner.h"

#include "VudeUI/qt/QtTokens.h"

#include <QPainter>
#include <QPointer>

ProgressSpinner::ProgressSpinner(const ViewEnvironment& environment, double side, QWidget* parent)
    : QWidget(parent), m_environment(environment), m_side(side)
{
}

ProgressSpinner::~ProgressSpinner()
{
    m_timer.cancel();
}

void ProgressSpinner::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_timer.cancel();
    QPointer<ProgressSpinner> self(this);
    m_timer = m_environment.scheduler.every(std::chrono::milliseconds(1000 / ticks), [self] {
        if (!self)
            return;
        self->m_step = (self->m_step + 1) % ticks;
        self->update();
    });
}

void ProgressSpinner::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    m_timer.cancel();
}

void ProgressSpinner::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(rect().center() + QPointF(0.5, 0.5));
    QPen pen(toQColor(Vude::Stone::x300));
    pen.setWidthF(1.6);
    pen.setCapStyle(Qt::RoundCap);
    for (int i = 0; i < ticks; ++i) {
        // The tick at the step is brightest; the others fade behind it.
        const int age = (m_step - i + ticks) % ticks;
        QColor colour = pen.color();
        colour.setAlphaF(1.0 - 0.8 * age / (ticks - 1));
        pen.setColor(colour);
        painter.setPen(pen);
        painter.save();
        painter.rotate(360.0 * i / ticks);
        painter.drawLine(QPointF(0, -m_side / 2 + 1), QPointF(0, -m_side / 4));
        painter.restore();
    }
}
