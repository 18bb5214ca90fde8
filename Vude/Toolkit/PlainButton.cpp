#include "Vude/Toolkit/PlainButton.h"

#include "VudeUI/qt/SpringAnimator.h"

#include <QEnterEvent>
#include <QPainter>

PlainButton::PlainButton(const ViewEnvironment& environment, QWidget* parent)
    : QAbstractButton(parent), m_environment(environment)
{
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover);
    m_hover = std::make_unique<SpringAnimator>(environment.scheduler, environment.clock, std::vector<double>{0});
    connect(m_hover.get(), &SpringAnimator::valueChanged, this, qOverload<>(&QWidget::update));
    // A release anywhere repaints the pressed look away.
    connect(this, &QAbstractButton::pressed, this, qOverload<>(&QWidget::update));
    connect(this, &QAbstractButton::released, this, qOverload<>(&QWidget::update));
}

PlainButton::~PlainButton() = default;

void PlainButton::setPainter(Painter painter)
{
    m_painter = std::move(painter);
    update();
}

double PlainButton::hoverProgress() const
{
    return m_hover->value()[0];
}

void PlainButton::setHelpText(const QString& text)
{
    setToolTip(text);
    setAccessibleDescription(text);
}

void PlainButton::setPreferredSize(QSize size)
{
    if (size == m_preferredSize)
        return;
    m_preferredSize = size;
    updateGeometry();
}

void PlainButton::paintEvent(QPaintEvent*)
{
    if (!m_painter)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    m_painter(painter, *this);
}

void PlainButton::enterEvent(QEnterEvent* event)
{
    QAbstractButton::enterEvent(event);
    setHovering(true);
}

void PlainButton::leaveEvent(QEvent* event)
{
    QAbstractButton::leaveEvent(event);
    setHovering(false);
}

void PlainButton::setHovering(bool hovering)
{
    if (hovering == m_hovering)
        return;
    m_hovering = hovering;
    m_hover->animateTo({hovering ? 1.0 : 0.0}, m_environment.motion(Vude::Motion::hover));
    emit hoveringChanged(hovering);
    update();
}
