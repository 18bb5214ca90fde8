#include "Vude/Toolkit/FittedText.h"

#include "VudeUI/qt/QtTokens.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

const QString kEllipsis = QStringLiteral("\u2026");
constexpr double kStep = 0.5;

/// Where a cut may go: between user-perceived characters.
std::vector<qsizetype> graphemeBoundaries(const QString& text)
{
    std::vector<qsizetype> boundaries;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    for (qsizetype at = finder.toNextBoundary(); at > 0; at = finder.toNextBoundary())
        boundaries.push_back(at);
    return boundaries;
}

} // namespace

FittedText FittedText::fit(const QString& text, double size, double minimumScale, double width, const Measure& measure)
{
    if (!(width > 0) || !std::isfinite(size) || size <= 0)
        return {QString(), size, !text.isEmpty()};
    if (text.isEmpty() || measure(text, size) <= width)
        return {text, size, false};

    const double scale = (minimumScale > 0 && minimumScale <= 1) ? minimumScale : 1;
    const double smallest = size * scale;
    // Widths grow about in proportion to the size: start a step above that
    // guess and walk down.
    const double guess = std::ceil(size * width / measure(text, size) / kStep) * kStep + kStep;
    for (double tried = std::min(size - kStep, guess); tried > smallest; tried -= kStep) {
        if (measure(text, tried) <= width)
            return {text, tried, false};
    }
    if (measure(text, smallest) <= width)
        return {text, smallest, false};

    // The longest start that fits with the ellipsis after it.
    const std::vector<qsizetype> cuts = graphemeBoundaries(text);
    qsizetype low = 0;
    qsizetype high = qsizetype(cuts.size()) - 1; // the whole text is known not to fit
    QString best;
    while (low < high) {
        const qsizetype middle = (low + high) / 2;
        const QString candidate = text.left(cuts[std::size_t(middle)]).trimmed() + kEllipsis;
        if (measure(candidate, smallest) <= width) {
            best = candidate;
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    if (best.isEmpty() && measure(kEllipsis, smallest) <= width)
        best = kEllipsis;
    return {best, smallest, true};
}

FittedText::Measure FittedText::measureIn(const Vude::FontToken& font)
{
    return [font](const QString& text, double size) {
        return QFontMetricsF(systemFont(size, font.weight, font.design)).horizontalAdvance(text);
    };
}

void drawFittedText(QPainter& painter, const QRectF& rect, const QString& text, const Vude::FontToken& font,
                    double minimumScale, const QColor& color, Qt::Alignment alignment)
{
    const FittedText fitted = FittedText::fit(text, font.size, minimumScale, rect.width(), FittedText::measureIn(font));
    if (fitted.text.isEmpty())
        return;
    painter.save();
    painter.setFont(systemFont(fitted.size, font.weight, font.design));
    painter.setPen(color);
    painter.drawText(rect, int((alignment & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter) | Qt::TextSingleLine,
                     fitted.text);
    painter.restore();
}

FittedLabel::FittedLabel(const Vude::FontToken& font, double minimumScale, QWidget* parent)
    : QWidget(parent), m_font(font), m_minimumScale(minimumScale)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void FittedLabel::setText(const QString& text)
{
    if (text == m_text)
        return;
    m_text = text;
    setAccessibleName(text);
    updateGeometry();
    update();
}

void FittedLabel::setColor(const QColor& color)
{
    m_color = color;
    update();
}

void FittedLabel::setAlignment(Qt::Alignment alignment)
{
    m_alignment = alignment;
    update();
}

FittedText FittedLabel::fitted() const
{
    return FittedText::fit(m_text, m_font.size, m_minimumScale, width(), FittedText::measureIn(m_font));
}

QSize FittedLabel::sizeHint() const
{
    const QFontMetricsF metrics(toQFont(m_font));
    return {int(std::ceil(metrics.horizontalAdvance(m_text))), int(std::ceil(metrics.height()))};
}

QSize FittedLabel::minimumSizeHint() const
{
    return {0, sizeHint().height()};
}

void FittedLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::TextAntialiasing);
    drawFittedText(painter, rect(), m_text, m_font, m_minimumScale, m_color, m_alignment);
}
