#include "Vude/Settings/ValueSlider.h"

#include "Vude/Settings/SettingsRow.h"
#include "VudeKit/Numbers.h"
#include "VudeUI/Tokens.h"
#include "VudeUI/qt/QtTokens.h"

#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

constexpr double capsuleHorizontalPadding = 8;
constexpr double capsuleVerticalPadding = 3;
constexpr double railHeight = 4;

double fractionOf(double value, double lower, double upper)
{
    if (!(upper > lower) || std::isnan(value))
        return 0;
    return std::clamp((value - lower) / (upper - lower), 0.0, 1.0);
}

} // namespace

std::string ValueSlider::valueText(double value, std::string_view suffix)
{
    return formatInteger(saturatingCast<std::int64_t>(value)) + std::string(suffix);
}

ValueSlider::ValueSlider(const QString& label, double lower, double upper, const QString& suffix, QWidget* parent)
    : QWidget(parent), m_label(label), m_lower(lower), m_upper(std::max(lower, upper)), m_suffix(suffix),
      m_value(lower)
{
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setAccessibleName(label);
}

void ValueSlider::setValue(double value)
{
    if (value == m_value || (std::isnan(value) && std::isnan(m_value)))
        return;
    m_value = value;
    setAccessibleDescription(shownText());
    update();
}

QString ValueSlider::shownText() const
{
    return QString::fromStdString(valueText(m_value, m_suffix.toStdString()));
}

double ValueSlider::lineHeight() const
{
    const double label = QFontMetricsF(toQFont(Vude::Type_::settingsRow)).height();
    const double capsule = QFontMetricsF(toQFont(Vude::Type_::numeric)).height() + 2 * capsuleVerticalPadding;
    return std::ceil(std::max(label, capsule));
}

QRectF ValueSlider::trackArea() const
{
    const double top = verticalPadding + lineHeight() + lineSpacing;
    return QRectF(horizontalPadding, top, std::max(0, width() - 2 * horizontalPadding), trackHeight);
}

QPointF ValueSlider::thumbCentre(double value) const
{
    const QRectF area = trackArea();
    const double travel = std::max(0.0, area.width() - thumbDiameter);
    return {area.left() + thumbDiameter / 2 + travel * fractionOf(value, m_lower, m_upper), area.center().y()};
}

double ValueSlider::valueAt(double x) const
{
    const QRectF area = trackArea();
    const double travel = area.width() - thumbDiameter;
    if (!(travel > 0))
        return m_lower;
    const double fraction = std::clamp((x - area.left() - thumbDiameter / 2) / travel, 0.0, 1.0);
    return m_lower + fraction * (m_upper - m_lower);
}

QSize ValueSlider::sizeHint() const
{
    const int height = int(std::ceil(2 * verticalPadding + lineHeight() + lineSpacing + trackHeight));
    return QSize(240, height);
}

QSize ValueSlider::minimumSizeHint() const
{
    return QSize(120, sizeHint().height());
}

void ValueSlider::paintEvent(QPaintEvent*)
{
    paintRowDivider(*this);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    // The label and the value on its capsule.
    const double line = lineHeight();
    const QRectF top(horizontalPadding, verticalPadding, width() - 2 * horizontalPadding, line);
    painter.setFont(toQFont(Vude::Type_::settingsRow));
    painter.setPen(toQColor(Vude::Stone::x100));
    painter.drawText(top, Qt::AlignLeft | Qt::AlignVCenter, m_label);
    const QFont numeric = toQFont(Vude::Type_::numeric);
    const QFontMetricsF metrics(numeric);
    const QString text = shownText();
    const QSizeF capsuleSize(std::ceil(metrics.horizontalAdvance(text)) + 2 * capsuleHorizontalPadding,
                             std::ceil(metrics.height()) + 2 * capsuleVerticalPadding);
    const QRectF capsule(top.right() - capsuleSize.width(), top.center().y() - capsuleSize.height() / 2,
                         capsuleSize.width(), capsuleSize.height());
    painter.setPen(Qt::NoPen);
    painter.setBrush(toQColor(Vude::Ink::x800));
    painter.drawRoundedRect(capsule, capsule.height() / 2, capsule.height() / 2);
    painter.setFont(numeric);
    painter.setPen(toQColor(Vude::Stone::x200));
    painter.drawText(capsule, Qt::AlignCenter, text);

    // The rail, filled up to the thumb, and the thumb.
    const QRectF area = trackArea();
    const QPointF thumb = thumbCentre(m_value);
    const QRectF rail(area.left() + thumbDiameter / 2 - railHeight / 2, area.center().y() - railHeight / 2,
                      std::max(0.0, area.width() - thumbDiameter + railHeight), railHeight);
    painter.setPen(Qt::NoPen);
    painter.setBrush(toQColor(Vude::Ink::x600));
    painter.drawRoundedRect(rail, railHeight / 2, railHeight / 2);
    QRectF filled = rail;
    filled.setRight(thumb.x());
    painter.setBrush(toQColor(Vude::Accent::x500));
    painter.drawRoundedRect(filled, railHeight / 2, railHeight / 2);
    painter.setBrush(m_dragging ? toQColor(Vude::Stone::x200) : QColor(Qt::white));
    painter.drawEllipse(thumb, thumbDiameter / 2, thumbDiameter / 2);
    if (hasFocus()) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(toQColor(Vude::Accent::x400), 1));
        painter.drawEllipse(thumb, thumbDiameter / 2 + 1.5, thumbDiameter / 2 + 1.5);
    }
}

void ValueSlider::ask(double value)
{
    emit moved(value);
}

void ValueSlider::mousePressEvent(QMouseEvent* event)
{
    const QRectF area = trackArea();
    if (event->button() != Qt::LeftButton || event->position().y() < area.top() ||
        event->position().y() > area.bottom()) {
        event->ignore();
        return;
    }
    m_dragging = true;
    ask(valueAt(event->position().x()));
    update();
}

void ValueSlider::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragging) {
        event->ignore();
        return;
    }
    ask(valueAt(event->position().x()));
}

void ValueSlider::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_dragging) {
        event->ignore();
        return;
    }
    m_dragging = false;
    update();
}

void ValueSlider::keyPressEvent(QKeyEvent* event)
{
    const double span = m_upper - m_lower;
    const double step = span >= 10 ? 1 : span / 10;
    const double from = m_lower + fractionOf(m_value, m_lower, m_upper) * span;
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Down:
        ask(std::max(m_lower, from - step));
        return;
    case Qt::Key_Right:
    case Qt::Key_Up:
        ask(std::min(m_upper, from + step));
        return;
    case Qt::Key_Home:
        ask(m_lower);
        return;
    case Qt::Key_End:
        ask(m_upper);
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}
