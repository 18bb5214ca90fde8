// The controls' plain decisions: text that shrinks then elides, strokes
// kept inside their shapes, dashes in points.
#include "Vude/Toolkit/FittedText.h"
#include "Vude/Toolkit/Strokes.h"

#include <gtest/gtest.h>

namespace {

/// Half a point per character per point of size: no fonts involved.
double halfPerChar(const QString& text, double size)
{
    return double(text.size()) * size * 0.5;
}

TEST(FittedText, ShrinksDownToItsSmallestScaleThenElides)
{
    const struct Row {
        const char* why;
        QString text;
        double size, scale, width;
        FittedText expected;
    } rows[] = {
        {"fits: as it is", "Harbour", 12, 0.7, 42, {"Harbour", 12, false}},
        {"a little too wide: the largest half-point size that fits", "Harbour", 12, 0.7, 40, {"Harbour", 11.0, false}},
        {"the smallest scale exactly", "Harbour", 12, 0.5, 21, {"Harbour", 6, false}},
        {"too wide even at the smallest: cut at that size", "Harbour Lights", 12, 0.5, 24,
         {"Harbour\u2026", 6, true}},
        {"no shrinking allowed: cut at the size", "Harbour Lights", 12, 1, 30, {"Harb\u2026", 12, true}},
        {"a cut never leaves a space before the ellipsis", "ab cd", 10, 1, 20, {"ab\u2026", 10, true}},
        {"nothing fits no width", "Harbour", 12, 0.5, 0, {"", 12, true}},
        {"not even the ellipsis fits", "Harbour", 12, 1, 5, {"", 12, true}},
        {"a scale outside 0...1 does not shrink", "Harbour", 12, 3, 40, {"Harbo\u2026", 12, true}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        const FittedText fitted = FittedText::fit(row.text, row.size, row.scale, row.width, halfPerChar);
        EXPECT_EQ(fitted.text.toStdString(), row.expected.text.toStdString());
        EXPECT_EQ(fitted.size, row.expected.size);
        EXPECT_EQ(fitted.elided, row.expected.elided);
        if (!fitted.text.isEmpty()) {
            EXPECT_LE(halfPerChar(fitted.text, fitted.size), row.width);
        }
    }
}

TEST(FittedText, ACutNeverSplitsACharacterFromItsAccent)
{
    // "b" and its combining acute are one character: "ab" + "…" would fit
    // in 3 units, but would tear the accent off.
    const QString text = QStringLiteral("ab\u0301cdef");
    const FittedText fitted = FittedText::fit(text, 2, 1, 3, halfPerChar);
    EXPECT_EQ(fitted.text, QStringLiteral("a\u2026"));
    const FittedText wider = FittedText::fit(text, 2, 1, 4, halfPerChar);
    EXPECT_EQ(wider.text, QStringLiteral("ab\u0301\u2026"));
}

TEST(Strokes, InsideStrokesStayWithinTheirBoundsAndDashesCountInPoints)
{
    EXPECT_EQ(insideStrokeRect(QRectF(0, 0, 100, 40), 2), QRectF(1, 1, 98, 38));
    EXPECT_EQ(insideStrokeRect(QRectF(0, 0, 100, 40), 0), QRectF(0, 0, 100, 40));
    EXPECT_EQ(insideStrokeRect(QRectF(0, 0, 4, 40), 10), QRectF(2, 5, 0, 30)) << "never inside out";

    // A 1.5-point stroke over a rectangle: no pixel outside it.
    const QPainterPath inside = insideStrokePath(QRectF(0, 0, 60, 30), 8, 1.5);
    EXPECT_EQ(inside.boundingRect(), QRectF(0.75, 0.75, 58.5, 28.5));

    // 6 on and 4 off at 1.5 points wide: Qt wants 4 and 2.67 pen widths.
    const QVector<qreal> dashes = dashPattern({6, 4}, 1.5);
    ASSERT_EQ(dashes.size(), 2);
    EXPECT_DOUBLE_EQ(dashes[0] * 1.5, 6);
    EXPECT_DOUBLE_EQ(dashes[1] * 1.5, 4);
    EXPECT_EQ(dashPattern({6, 4}, 0), (QVector<qreal>{6, 4})) << "a cosmetic pen is one unit wide";
    EXPECT_EQ(dashedPen(Qt::white, 1.5, {6, 4}).dashPattern(), dashes);
    EXPECT_EQ(dashedPen(Qt::white, 1.5, {6, 4}).capStyle(), Qt::FlatCap);
}

} // namespace
