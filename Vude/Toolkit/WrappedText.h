#pragma once
// Text that wraps onto as many lines as it needs within a width: at word
// boundaries, and inside a word only when the word alone is wider than the
// line. Measured and drawn the same way, so what was measured is what is
// drawn.

#include <QColor>
#include <QFont>
#include <QRectF>
#include <QSizeF>
#include <QString>

class QPainter;

namespace WrappedText {

/// The lines' height and the widest line's width, for lines at most
/// `width` wide; zero for empty text or a width of 0 or less.
QSizeF size(const QString& text, const QFont& font, double width);

/// Draws the lines from the top of `rect`, each placed across its width by
/// `alignment` (left, centre or right).
void draw(QPainter& painter, const QRectF& rect, const QString& text, const QFont& font, const QColor& color,
          Qt::Alignment alignment = Qt::AlignHCenter);

} // namespace WrappedText
