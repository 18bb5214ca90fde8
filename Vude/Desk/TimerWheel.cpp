#include "Vude/Desk/TimerWheel.h"

#include "Platform/Shell/HapticPerformer.h"
#include "VudeUI/qt/QtTokens.h"
#include "VudeUI/qt/SpringAnimator.h"

#include <QFontMetricsF>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <cmath>

namespace {

constexpr int kNotch = 120; // eighths of a degree per wheel notch
constexpr double kUnitSpacing = 1;
constexpr double kUnitBaselineOffset = -1;
constexpr double kDimmedOpacity = 0.55;

QFont numberFont()
{
    return systemFont(TimerWheel::numberSize, Vude::FontWeight::medium, Vude::FontDesign::rounded);
}
QFont unitFont() { return systemFont(TimerWheel::unitSize, Vude::FontWeight::medium); }

} // namespace

void fadeWheelEdges(QImage& layer, double height)
{
    QPainter painter(&layer);
    painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    QLinearGradient mask(0, 0, 0, height);
    mask.setColorAt(0, Qt::transparent);
    mask.setColorAt(0.3, Qt::black);
    mask.setColorAt(0.7, Qt::black);
    mask.setColorAt(1, Qt::transparent);
    painter.fillRect(QRectF(0, 0, layer.width(), height), mask);
}

TimerWheel::TimerWheel(const ViewEnvironment& environment, HapticPerformer* haptics, int lower, int upper,
                       QString unit, double rowHeight, int visibleRows, QWidget* parent)
    : QWidget(parent), m_environment(environment), m_haptics(haptics), m_lower(lower), m_unit(std::move(unit)),
      m_layout{std::max(0, upper - lower), rowHeight, visibleRows}, m_value(lower),
      m_scroll(std::make_unique<SpringAnimator>(environment.scheduler, environment.clock, std::vector<double>{0}))
{
    // A click gives it the keyboard, for the arrows; the Desk's opening
    // does not.
    setFocusPolicy(Qt::ClickFocus);
    setAccessibleName(m_unit);
    connect(m_scroll.get(), &SpringAnimator::valueChanged, this, &TimerWheel::offsetChanged);
    connect(m_scroll.get(), &SpringAnimator::finished, this, [this] { m_snapTarget.reset(); });
}

TimerWheel::~TimerWheel()
{
    m_idleSnap.cancel();
}

QSize TimerWheel::sizeHint() const
{
    return {60, int(std::ceil(m_layout.height()))};
}

std::optional<int> TimerWheel::position() const
{
    return m_position;
}

double TimerWheel::offset() const
{
    return m_scroll->value()[0];
}

void TimerWheel::setValue(int value)
{
    m_value = value;
    if (!m_appeared || m_position == value)
        return;
    jumpTo(m_layout.offsetOf(value - m_lower));
}

void TimerWheel::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_appeared)
        return;
    m_appeared = true;
    jumpTo(m_layout.offsetOf(m_value - m_lower));
    // Already there (the first row): still centred on it, ticked and told.
    if (!m_position)
        setPosition(m_layout.nearestRow(offset()));
}

void TimerWheel::jumpTo(double offset)
{
    m_idleSnap.cancel();
    m_snapTarget.reset();
    m_scroll->setValue({m_layout.clamped(offset)});
}

void TimerWheel::snapTo(int index)
{
    index = std::clamp(index, 0, std::max(0, m_layout.count - 1));
    m_idleSnap.cancel();
    m_snapTarget = index;
    m_scroll->animateTo({m_layout.offsetOf(index)}, m_environment.motion(Vude::Motion::hover));
}

int TimerWheel::targetRow() const
{
    return m_snapTarget.value_or(m_layout.nearestRow(offset()));
}

void TimerWheel::stepBy(int rows)
{
    snapTo(targetRow() + rows);
}

void TimerWheel::offsetChanged()
{
    update();
    if (!m_appeared)
        return;
    const int row = m_layout.nearestRow(offset());
    if (m_position != m_lower + row)
        setPosition(row);
}

void TimerWheel::setPosition(int index)
{
    const int value = m_lower + index;
    m_position = value;
    update();
    if (m_throttle.admit(m_environment.clock.now()) && m_haptics)
        m_haptics->perform(HapticPattern::alignment);
    if (onChange)
        onChange(value);
}

// Scrolling.

void TimerWheel::wheelEvent(QWheelEvent* event)
{
    // Taken whatever it does here: a wheel nobody takes closes the Desk.
    event->accept();
    if (!m_appeared)
        return;
    const QPoint pixels = event->pixelDelta();
    if (!pixels.isNull()) {
        // A touchpad scrolls smoothly and snaps once it pauses.
        m_snapTarget.reset();
        m_scroll->setValue({m_layout.clamped(offset() - pixels.y())});
        m_idleSnap.cancel();
        m_idleSnap = m_environment.scheduler.after(snapDelay, [this] { snapTo(m_layout.nearestRow(offset())); });
        return;
    }
    m_wheelRemainder += event->angleDelta().y();
    const int notches = m_wheelRemainder / kNotch;
    if (notches == 0)
        return;
    m_wheelRemainder -= notches * kNotch;
    // Turning the wheel down brings the larger numbers up.
    snapTo(targetRow() - notches);
}

void TimerWheel::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_idleSnap.cancel();
    m_snapTarget.reset();
    m_dragStartY = event->position().y();
    m_dragStartOffset = offset();
    m_scroll->setValue({m_dragStartOffset});
    event->accept();
}

void TimerWheel::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragStartY)
        return;
    m_scroll->setValue({m_layout.clamped(m_dragStartOffset - (event->position().y() - *m_dragStartY))});
    event->accept();
}

void TimerWheel::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_dragStartY || event->button() != Qt::LeftButton)
        return;
    m_dragStartY.reset();
    snapTo(m_layout.nearestRow(offset()));
    event->accept();
}

void TimerWheel::keyPressEvent(QKeyEvent* event)
{
    int rows = 0;
    switch (event->key()) {
    case Qt::Key_Up:
        rows = -1;
        break;
    case Qt::Key_Down:
        rows = 1;
        break;
    case Qt::Key_PageUp:
        rows = -m_layout.visibleRows;
        break;
    case Qt::Key_PageDown:
        rows = m_layout.visibleRows;
        break;
    case Qt::Key_Home:
        rows = -m_layout.count;
        break;
    case Qt::Key_End:
        rows = m_layout.count;
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    if (m_appeared)
        stepBy(rows);
    event->accept();
}

// Drawing.

void TimerWheel::paintEvent(QPaintEvent*)
{
    const qreal ratio = devicePixelRatioF();
    QImage layer(QSize(int(std::ceil(width() * ratio)), int(std::ceil(height() * ratio))),
                 QImage::Format_ARGB32_Premultiplied);
    layer.setDevicePixelRatio(ratio);
    layer.fill(Qt::transparent);
    {
        QPainter painter(&layer);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        const QFont number = numberFont();
        const QFont unit = unitFont();
        const QFontMetricsF numberMetrics(number);
        const QFontMetricsF unitMetrics(unit);
        const QLocale locale;
        const double at = offset();
        for (int index = m_layout.firstShown(at); index <= m_layout.lastShown(at); ++index) {
            const int value = m_lower + index;
            const bool centred = m_position == value;
            const QString text = locale.toString(value);
            const double numberWidth = numberMetrics.horizontalAdvance(text);
            const double unitWidth = unitMetrics.horizontalAdvance(m_unit);
            const double left = (width() - numberWidth - kUnitSpacing - unitWidth) / 2;
            const double centre = m_layout.rowCentre(index, at);
            QColor colour = toQColor(centred ? Vude::Stone::x100 : Vude::Stone::x400);
            colour.setAlphaF(colour.alphaF() * (centred ? 1.0 : kDimmedOpacity));
            painter.setPen(colour);
            painter.setFont(number);
            painter.drawText(QRectF(left, centre - numberMetrics.height() / 2, numberWidth, numberMetrics.height()),
                             Qt::AlignLeft | Qt::AlignVCenter, text);
            painter.setFont(unit);
            painter.drawText(QRectF(left + numberWidth + kUnitSpacing,
                                    centre - unitMetrics.height() / 2 - kUnitBaselineOffset, unitWidth,
                                    unitMetrics.height()),
                             Qt::AlignLeft | Qt::AlignVCenter, m_unit);
        }
    }
    fadeWheelEdges(layer, height());
    QPainter(this).drawImage(QPointF(0, 0), layer);
}
