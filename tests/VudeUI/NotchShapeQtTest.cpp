#include "VudeUI/NotchShape.h"
#include "VudeUI/Tokens.h"
#include "VudeUI/qt/QtPath.h"
#include "VudeUI/qt/QtTokens.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace {

TEST(NotchShapeRender, OpaqueBlackInsideClearAtTheFlares)
{
    QImage image(200, 32, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        const NotchShape shape(Vude::Radius::notchTop, Vude::Radius::notchBottomClosed);
        painter.fillPath(toQPainterPath(shape.path(UIRect{0, 0, 200, 32})), toQColor(Vude::Ink::x1000));
    }
    struct Row {
        int x;
        int y;
        bool filled;
        const char* why;
    } rows[] = {
        {100, 16, true, "the body"},
        {100, 31, true, "the bottom edge between the corners"},
        {100, 0, true, "the top edge"},
        {5, 0, true, "the left flare fills the top row"},
        {194, 0, true, "the right flare fills the top row"},
        {2, 16, false, "left of the body, under the flare"},
        {197, 16, false, "right of the body, under the flare"},
        {3, 2, false, "inside the left flare's curve"},
        {196, 2, false, "inside the right flare's curve"},
        {7, 31, false, "the rounded bottom-left corner"},
        {192, 31, false, "the rounded bottom-right corner"},
        {10, 10, true, "just inside the left side"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        const QColor pixel = image.pixelColor(row.x, row.y);
        if (row.filled) {
            EXPECT_EQ(pixel.alpha(), 255);
            EXPECT_EQ(pixel.rgb() & 0xFFFFFF, 0u);
        } else {
            EXPECT_EQ(pixel.alpha(), 0);
        }
    }
}

TEST(NotchShapeRender, PathKeepsEveryElement)
{
    const QPainterPath path = toQPainterPath(NotchShape(6, 14).path(UIRect{0, 0, 200, 32}));
    EXPECT_EQ(path.boundingRect(), QRectF(0, 0, 200, 32));
    EXPECT_TRUE(path.contains(QPointF(100, 16)));
    EXPECT_FALSE(path.contains(QPointF(3, 20)));
}

} // namespace
