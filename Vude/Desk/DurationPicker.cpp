#include "Vude/Desk/DurationPicker.h"

#include "Vude/Desk/TimerWheel.h"
#include "VudeUI/qt/ContinuousCorners.h"
#include "VudeUI/qt/QtTokens.h"

#include <QPainter>

#include <cmath>

namespace {

constexpr double kBandOutlineOpacity = 0.18;

} // namespace

DurationPicker::DurationPicker(const ViewEnvironment& environment, HapticPerformer* haptics, double rowHeight,
                               int visibleRows, QWidget* parent)
    : QWidget(parent), m_rowHeight(rowHeight), m_visibleRows(visibleRows)
{
    m_wheels = {
        new TimerWheel(environment, haptics, 0, DurationComponents::hourCount, QStringLiteral("h"), rowHeight,
                       visibleRows, this),
        new TimerWheel(environment, haptics, 0, DurationComponents::minuteCount, QStringLiteral("m"), rowHeight,
                       visibleRows, this),
        new TimerWheel(environment, haptics, 0, DurationComponents::secondCount, QStringLiteral("s"), rowHeight,
                       visibleRows, this),
    };
    // Each wheel writes its part over the other two as they are now.
    m_wheels[0]->onChange = [this](int value) {
        DurationComponents next = DurationComponents::of(m_duration);
        next.hours = value;
        write(next);
    };
    m_wheels[1]->onChange = [this](int value) {
        DurationComponents next = DurationComponents::of(m_duration);
        next.minutes = value;
        write(next);
    };
    m_wheels[2]->onChange = [this](int value) {
        DurationComponents next = DurationComponents::of(m_duration);
        next.seconds = value;
        write(next);
    };
    setDuration(0);
}

void DurationPicker::setDuration(double seconds)
{
    m_duration = seconds;
    const DurationComponents components = DurationComponents::of(seconds);
    m_wheels[0]->setValue(components.hours);
    m_wheels[1]->setValue(components.minutes);
    m_wheels[2]->setValue(components.seconds);
}

void DurationPicker::write(const DurationComponents& components)
{
    setDuration(components.total());
    if (onChange)
        onChange(m_duration);
}

QSize DurationPicker::sizeHint() const
{
    return {180, int(std::ceil(m_rowHeight * m_visibleRows))};
}

QSize DurationPicker::minimumSizeHint() const
{
    return {0, int(std::ceil(m_rowHeight * m_visibleRows))};
}

void DurationPicker::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // Equal shares of the width, the last one taking what rounding leaves.
    const int share = width() / 3;
    for (int i = 0; i < 3; ++i)
        m_wheels[std::size_t(i)]->setGeometry(i * share, 0, i == 2 ? width() - 2 * share : share, height());
}

void DurationPicker::paintEvent(QPaintEvent*)
{
    const qreal ratio = devicePixelRatioF();
    QImage layer(QSize(int(std::ceil(width() * ratio)), int(std::ceil(height() * ratio))),
                 QImage::Format_ARGB32_Premultiplied);
    layer.setDevicePixelRatio(ratio);
    layer.fill(Qt::transparent);
    {
        QPainter painter(&layer);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF band(0, (height() - m_rowHeight) / 2, width(), m_rowHeight);
        const QPainterPath shape = continuousRoundedRect(band, bandRadius);
        painter.fillPath(shape, toQColor(Vude::Ink::x800));
        QColor outline = toQColor(Vude::Accent::x500);
        outline.setAlphaF(kBandOutlineOpacity);
        painter.setPen(QPen(outline, 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(shape);
    }
    fadeWheelEdges(layer, height());
    QPainter(this).drawImage(QPointF(0, 0), layer);
}
