#include "Vude/Toolkit/AccentButton.h"

#include "VudeUI/qt/ContinuousCorners.h"
#include "VudeUI/qt/QtTokens.h"
#include "VudeUI/qt/SpringAnimator.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace {

Vude::FontToken fontOf(AccentButton::Style style)
{
    return style == AccentButton::Style::regular ? AccentButtonStyle::font : SmallAccentButtonStyle::font;
}

QSizeF paddingOf(AccentButton::Style style)
{
    if (style == AccentButton::Style::regular)
        return {AccentButtonStyle::horizontalPadding, AccentButtonStyle::verticalPadding};
    return {SmallAccentButtonStyle::horizontalPadding, SmallAccentButtonStyle::verticalPadding};
}

} // namespace

AccentButton::AccentButton(const ViewEnvironment& environment, const QString& title, Style style, QWidget* parent)
    : PlainButton(environment, parent), m_environment(environment), m_style(style)
{
    setFont(toQFont(fontOf(style)));
    setTitle(title);
    setPainter([this](QPainter& painter, const PlainButton&) { paint(painter); });
    if (style == Style::regular) {
        m_scale = std::make_unique<SpringAnimator>(environment.scheduler, environment.clock, std::vector<double>{1});
        connect(m_scale.get(), &SpringAnimator::valueChanged, this, qOverload<>(&QWidget::update));
        connect(this, &QAbstractButton::pressed, this, [this] { pressChanged(); });
        connect(this, &QAbstractButton::released, this, [this] { pressChanged(); });
    }
}

AccentButton::~AccentButton() = default;

void AccentButton::setTitle(const QString& title)
{
    setText(title);
    const QFontMetricsF metrics(font());
    const QSizeF padding = paddingOf(m_style);
    setPreferredSize(QSize(int(std::ceil(metrics.horizontalAdvance(title) + 2 * padding.width())),
                           int(std::ceil(metrics.height() + 2 * padding.height()))));
}

double AccentButton::scale() const
{
    return m_scale ? m_scale->value()[0] : 1.0;
}

Vude::Color AccentButton::fill() const
{
    return isDown() ? Vude::Accent::x600 : Vude::Accent::x500;
}

void AccentButton::pressChanged()
{
    // isDown() follows the pointer: it drops when the pointer leaves while held.
    const double target = isDown() ? AccentButtonStyle::pressedScale : 1.0;
    if (m_scale->target()[0] != target)
        m_scale->animateTo({target}, m_environment.motion(AccentButtonStyle::pressAnimation));
}

void AccentButton::paint(QPainter& painter) const
{
    const QRectF bounds = rect();
    const double factor = scale();
    painter.translate(bounds.center());
    painter.scale(factor, factor);
    painter.translate(-bounds.center());
    const QPainterPath capsule = continuousRoundedRect(bounds, bounds.height() / 2);
    painter.fillPath(capsule, toQColor(fill()));
    painter.setFont(font());
    painter.setPen(toQColor(Vude::Accent::on));
    painter.drawText(bounds, Qt::AlignCenter, text());
}
