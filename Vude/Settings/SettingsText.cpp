#include "Vude/Settings/SettingsText.h"

#include "Vude/Toolkit/WrappedText.h"
#include "VudeUI/qt/QtTokens.h"

#include <QAbstractScrollArea>
#include <QFontMetricsF>
#include <QScrollBar>
#include <QPainter>

#include <algorithm>
#include <cmath>

SettingsText::SettingsText(const QString& text, const Vude::FontToken& font, const Vude::Color& color,
                           QWidget* parent)
    : QWidget(parent), m_text(text), m_color(color)
{
    setFont(toQFont(font));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    // Not Fixed: a layout would hold a fixed height to the one-line hint.
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    setAccessibleName(text);
}

SettingsText* SettingsText::sectionTitle(const QString& text, QWidget* parent)
{
    return new SettingsText(text, Vude::Type_::settingsSection, Vude::Stone::x400, parent);
}

SettingsText* SettingsText::footnote(const QString& text, QWidget* parent)
{
    auto* note = new SettingsText(text, Vude::Type_::settingsFootnote, Vude::Stone::x400, parent);
    note->setMaximumTextWidth(noteWidth);
    return note;
}

void SettingsText::setText(const QString& text)
{
    if (text == m_text)
        return;
    m_text = text;
    setAccessibleName(text);
    updateGeometry();
    update();
}

void SettingsText::setColor(const Vude::Color& color)
{
    if (color == m_color)
        return;
    m_color = color;
    update();
}

void SettingsText::setMaximumTextWidth(std::optional<double> width)
{
    m_maximumWidth = width;
    updateGeometry();
    update();
}

void SettingsText::setWrapping(bool wraps)
{
    m_wraps = wraps;
    QSizePolicy policy = sizePolicy();
    policy.setHeightForWidth(wraps);
    policy.setHorizontalPolicy(wraps ? QSizePolicy::Preferred : QSizePolicy::Minimum);
    setSizePolicy(policy);
    updateGeometry();
}

double SettingsText::lineWidth(double available) const
{
    return m_maximumWidth ? std::min(available, *m_maximumWidth) : available;
}

QSize SettingsText::sizeHint() const
{
    const QFontMetricsF metrics(font());
    if (!m_wraps)
        return QSize(int(std::ceil(metrics.horizontalAdvance(m_text))), int(std::ceil(metrics.height())));
    // Measured as the lines are laid out, which can be a point or two wider
    // than the font's advance: a hint of the advance wrapped the last word.
    const double natural = WrappedText::size(m_text, font(), QWIDGETSIZE_MAX).width();
    const double width = lineWidth(natural);
    return QSize(int(width), heightForWidth(int(width)));
}

QSize SettingsText::minimumSizeHint() const
{
    if (!m_wraps)
        return sizeHint();
    // A wrapping text gives way down to its longest word.
    const QFontMetricsF metrics(font());
    return QSize(std::min(int(std::ceil(metrics.averageCharWidth() * 8)), sizeHint().width()),
                 int(std::ceil(metrics.height())));
}

int SettingsText::heightForWidth(int width) const
{
    if (!m_wraps || m_text.isEmpty())
        return int(std::ceil(QFontMetricsF(font()).height()));
    return int(std::ceil(WrappedText::size(m_text, font(), lineWidth(width)).height()));
}

void SettingsText::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::TextAntialiasing);
    if (!m_wraps) {
        painter.setFont(font());
        painter.setPen(toQColor(m_color));
        painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter, m_text);
        return;
    }
    const QRectF area(0, 0, lineWidth(width()), height());
    WrappedText::draw(painter, area, m_text, font(), toQColor(m_color), Qt::AlignLeft);
}

void styleSettingsScrollBar(QAbstractScrollArea& area)
{
    area.verticalScrollBar()->setStyleSheet(
        QStringLiteral("QScrollBar:vertical { background: transparent; width: 8px; margin: 2px 1px; }"
                       "QScrollBar::handle:vertical { background: %1; border-radius: 3px; min-height: 24px; }"
                       "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
                       "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }")
            .arg(toQColor(Vude::Ink::x600).name()));
}
