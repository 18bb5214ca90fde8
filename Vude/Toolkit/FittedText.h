#pragma once
// One line of text that must fit a width: it shrinks first, down to a
// smallest scale of its size, and is cut at the end with "…" only when even
// that is too wide. The decision is a plain value (fit); FittedLabel and
// drawFittedText paint what it says.
//
// Sizes are points (logical pixels); fractional sizes are fine
// (systemFont). Text is cut between user-perceived characters, never inside
// one.

#include "VudeUI/Tokens.h"

#include <QColor>
#include <QString>
#include <QWidget>

#include <functional>

class QPainter;

struct FittedText {
    QString text;
    /// The size to draw at.
    double size = 0;
    /// The text was cut.
    bool elided = false;

    bool operator==(const FittedText&) const = default;

    /// Measures `text` set at `size` points.
    using Measure = std::function<double(const QString& text, double size)>;

    /// `text` at `size`, or at the largest size down to `size` ×
    /// `minimumScale` (in half-point steps, the smallest included) at which
    /// it fits `width`; else cut at that smallest size. Nothing fits a width
    /// of 0 or less: the text is then empty. A scale outside 0...1 counts as 1.
    static FittedText fit(const QString& text, double size, double minimumScale, double width, const Measure& measure);

    /// Measured in `font`'s family, weight and design at each size.
    static Measure measureIn(const Vude::FontToken& font);
};

/// Draws `text` in `font` fitted to `rect`'s width, vertically centred and
/// placed horizontally by `alignment`.
void drawFittedText(QPainter& painter, const QRectF& rect, const QString& text, const Vude::FontToken& font,
                    double minimumScale, const QColor& color, Qt::Alignment alignment = Qt::AlignLeft);

/// A one-line label that shrinks, then elides, to fit its width. Its
/// accessible name is always the whole text.
class FittedLabel : public QWidget {
    Q_OBJECT
public:
    FittedLabel(const Vude::FontToken& font, double minimumScale, QWidget* parent = nullptr);

    void setText(const QString& text);
    const QString& text() const { return m_text; }
    void setColor(const QColor& color);
    void setAlignment(Qt::Alignment alignment);
    /// What the label draws at its present width.
    FittedText fitted() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Vude::FontToken m_font;
    double m_minimumScale;
    QString m_text;
    QColor m_color = Qt::white;
    Qt::Alignment m_alignment = Qt::AlignLeft;
};
