#include "Vude/Shell/NotchBackdropPanel.h"

#include "TestSupport.h"

#include <QDir>

#include <gtest/gtest.h>

#include <cmath>

namespace {

int alphaAt(const QImage& image, int x, int y) { return qAlpha(image.pixel(x, y)); }

QImage closedNotchGlow(double scale = 1)
{
    // The resting notch: a 200 x 32 canvas draws a 188 x 26 shape.
    return NotchBackdropPanel::render({240, 52}, {188, 26}, 6, 14, 26, scale);
}

TEST(NotchBackdropRenderTest, MakesAWindowSizedBitmapRoundingHalvesAwayFromZero)
{
    struct Case {
        Size window;
        double scale;
        QSize pixels; // empty: no image
    };
    const Case cases[] = {
        {{53, 27}, 1, {53, 27}},
        {{53, 27}, 2, {106, 54}},
        {{100.5, 40.5}, 1, {101, 41}},
        {{100.25, 40.75}, 2, {201, 82}},
        {{10, 10}, 1.25, {13, 13}},    // 12.5 rounds up
        {{0.5, 0.5}, 1, {1, 1}},       // half a point is one pixel
        {{0.49, 30}, 1, {}},           // rounds to no column at all
        {{30, 0.2}, 2, {}},            // 0.4 pixels high
        {{30, 30}, 0, {}},
        {{NAN, 30}, 1, {}},
        {{1e9, 30}, 1, {}},            // no screen is that wide
    };
    for (const Case& c : cases) {
        const QImage image = NotchBackdropPanel::render(c.window, {1, 1}, 6, 14, 26, c.scale);
        if (c.pixels.isEmpty()) {
            EXPECT_TRUE(image.isNull()) << c.window.width << "x" << c.window.height << " @" << c.scale;
            continue;
        }
        ASSERT_FALSE(image.isNull()) << c.window.width << "x" << c.window.height << " @" << c.scale;
        EXPECT_EQ(image.size(), c.pixels) << c.window.width << "x" << c.window.height << " @" << c.scale;
        EXPECT_EQ(image.devicePixelRatio(), c.scale);
    }
}

TEST(NotchBackdropRenderTest, IsDarkestInsideTheShapeAndFadesToNothingAtTheEdges)
{
    // A tall shape, so the middle is far from every edge of it.
    const QImage image = NotchBackdropPanel::render({252, 146}, {200, 120}, 6, 14, 26, 1);
    ASSERT_EQ(image.size(), QSize(252, 146));
    EXPECT_NEAR(alphaAt(image, 126, 60), 0.55 * 255, 2) << "translucent black inside";
    EXPECT_EQ(qRed(image.pixel(126, 60)) + qGreen(image.pixel(126, 60)) + qBlue(image.pixel(126, 60)), 0);
    for (const QPoint corner : {QPoint(0, 0), QPoint(251, 0), QPoint(0, 145), QPoint(251, 145)})
        EXPECT_LE(alphaAt(image, corner.x(), corner.y()), 1) << corner.x() << "," << corner.y();
    // The top edge is cut flat: the shape's top is no darker than half.
    EXPECT_NEAR(alphaAt(image, 126, 0), 0.55 * 255 / 2, 6);
    // The glow spreads beyond the outline but fades outward.
    EXPECT_GT(alphaAt(image, 20, 60), alphaAt(image, 8, 60));
    EXPECT_GT(alphaAt(image, 8, 60), 0);
}

TEST(NotchBackdropRenderTest, IsSymmetricLeftToRight)
{
    const QImage image = closedNotchGlow();
    int worst = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width() / 2; ++x)
            worst = std::max(worst, std::abs(alphaAt(image, x, y) - alphaAt(image, image.width() - 1 - x, y)));
    }
    EXPECT_LE(worst, 1);
}

TEST(NotchBackdropRenderTest, LooksTheSameInPointsAtTwiceTheScale)
{
    const QImage one = closedNotchGlow(1);
    const QImage two = closedNotchGlow(2);
    ASSERT_EQ(two.size(), one.size() * 2);
    for (const QPoint point : {QPoint(120, 13), QPoint(20, 13), QPoint(120, 40), QPoint(5, 5)})
        EXPECT_NEAR(alphaAt(two, point.x() * 2, point.y() * 2), alphaAt(one, point.x(), point.y()), 4)
            << point.x() << "," << point.y();
}

TEST(NotchBackdropRenderTest, MatchesTheGoldenImage)
{
    const QImage image = closedNotchGlow();
    const QString goldenPath = testsupport::sourceDir() + "/tests/Vude/fixtures/backdrop-closed.png";
    QDir().mkpath("screenshots");
    image.save("screenshots/backdrop-closed.png");
    const QImage golden = QImage(goldenPath).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    ASSERT_FALSE(golden.isNull()) << goldenPath.toStdString();
    ASSERT_EQ(golden.size(), image.size());
    int worst = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            worst = std::max(worst, std::abs(alphaAt(image, x, y) - alphaAt(golden, x, y)));
    }
    EXPECT_LE(worst, 3);
}

} // namespace
