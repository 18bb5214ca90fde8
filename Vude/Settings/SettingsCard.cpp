#include "Vude/Settings/SettingsCard.h"

#include "VudeUI/Tokens.h"
#include "VudeUI/qt/ContinuousCorners.h"
#include "VudeUI/qt/QtTokens.h"

#include <QChildEvent>
#include <QPainter>
#include <QVBoxLayout>

namespace {

/// The card's border, drawn over its rows.
class CardBorder final : public QWidget {
public:
    explicit CardBorder(QWidget* parent) : QWidget(parent)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        // Centred on the edge, as a stroke is: the outer half falls outside
        // the card and is not drawn.
        painter.setPen(QPen(toQColor(Vude::Ink::x700), SettingsCard::borderWidth));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(continuousRoundedRect(QRectF(rect()), SettingsCard::radius));
    }
};

} // namespace

SettingsCard::SettingsCard(QWidget* parent) : QWidget(parent)
{
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    m_border = new CardBorder(this);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

void SettingsCard::addRow(QWidget* row)
{
    m_layout->addWidget(row);
    m_border->raise();
}

QPainterPath SettingsCard::shape() const
{
    return continuousRoundedRect(QRectF(rect()), radius);
}

std::optional<QPainterPath> SettingsCard::clipFor(const QWidget& descendant)
{
    for (const QWidget* up = descendant.parentWidget(); up; up = up->parentWidget())
        if (const auto* card = qobject_cast<const SettingsCard*>(up))
            return card->shape().translated(-QPointF(descendant.mapTo(card, QPoint(0, 0))));
    return std::nullopt;
}

void SettingsCard::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(shape(), toQColor(Vude::Ink::x850));
}

void SettingsCard::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_border->setGeometry(rect());
    m_border->raise();
}

void SettingsCard::childEvent(QChildEvent* event)
{
    QWidget::childEvent(event);
    // Rows added straight to the layout still lie under the border.
    if (event->added() && m_border && event->child() != m_border)
        m_border->raise();
}
