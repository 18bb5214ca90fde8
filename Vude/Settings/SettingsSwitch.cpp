#include "Vude/Settings/SettingsSwitch.h"

#include "VudeUI/Tokens.h"
#include "VudeUI/qt/QtTokens.h"
#include "VudeUI/qt/SpringAnimator.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace {

constexpr double knobInset = 2;

QColor mix(const QColor& from, const QColor& to, double amount)
{
    const double t = std::clamp(amount, 0.0, 1.0);
    return QColor::fromRgbF(float(from.redF() + (to.redF() - from.redF()) * t),
                            float(from.greenF() + (to.greenF() - from.greenF()) * t),
                            float(from.blueF() + (to.blueF() - from.blueF()) * t));
}

} // namespace

SettingsSwitch::SettingsSwitch(const ViewEnvironment& environment, QWidget* parent)
    : QWidget(parent), m_environment(environment)
{
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setCursor(Qt::PointingHandCursor);
    m_knob = std::make_unique<SpringAnimator>(environment.scheduler, environment.clock, std::vector<double>{0});
    connect(m_knob.get(), &SpringAnimator::valueChanged, this, qOverload<>(&QWidget::update));
}

SettingsSwitch::~SettingsSwitch() = default;

void SettingsSwitch::setOn(bool on)
{
    if (on == m_on)
        return;
    m_on = on;
    const double target = on ? 1 : 0;
    if (isVisible())
        m_knob->animateTo({target}, m_environment.motion(Vude::Motion::hover));
    else
        m_knob->setValue({target});
    update();
}

double SettingsSwitch::knobPosition() const
{
    return m_knob->value()[0];
}

void SettingsSwitch::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF track = QRectF(QPointF(0, 0), QSizeF(switchSize)).translated(
        (width() - switchSize.width()) / 2.0, (height() - switchSize.height()) / 2.0);
    const double position = knobPosition();
    const QColor off = toQColor(Vude::Ink::x600);
    const QColor on = toQColor(Vude::Accent::x500);
    painter.setPen(Qt::NoPen);
    painter.setBrush(mix(off, on, position));
    painter.drawRoundedRect(track, track.height() / 2, track.height() / 2);

    const double diameter = track.height() - 2 * knobInset;
    const double travel = track.width() - 2 * knobInset - diameter;
    const QRectF knob(track.left() + knobInset + travel * position, track.top() + knobInset, diameter, diameter);
    painter.setBrush(m_pressed ? toQColor(Vude::Stone::x200) : QColor(Qt::white));
    painter.drawEllipse(knob);
    if (hasFocus()) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(toQColor(Vude::Accent::x400), 1));
        painter.drawRoundedRect(track.adjusted(0.5, 0.5, -0.5, -0.5), track.height() / 2, track.height() / 2);
    }
}

void SettingsSwitch::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    m_pressed = true;
    update();
}

void SettingsSwitch::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_pressed) {
        event->ignore();
        return;
    }
    m_pressed = false;
    update();
    if (rect().contains(event->position().toPoint()))
        emit flipped(!m_on);
}

void SettingsSwitch::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        emit flipped(!m_on);
        return;
    }
    QWidget::keyPressEvent(event);
}

void SettingsSwitch::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange && !isEnabled())
        m_pressed = false;
}
