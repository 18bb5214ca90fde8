#include "VudeUI/qt/GaussianBlur.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(GaussianBlurTest, BoxWidthsAddUpToTheDeviation)
{
    for (double sigma : {1.0, 2.5, 10.92, 21.84, 40.0}) {
        double variance = 0;
        for (int radius : gaussianBoxRadii(sigma)) {
            const double width = 2 * radius + 1;
            variance += (width * width - 1) / 12;
        }
        EXPECT_NEAR(std::sqrt(variance), sigma, 0.35) << sigma;
    }
}

TEST(GaussianBlurTest, FollowsTheGaussianAndKeepsTheMass)
{
    // A bright square far from the edges: its blur is the square convolved
    // with the Gaussian, whose profile through the middle is known.
    const double sigma = 6;
    QImage image(121, 121, QImage::Format_Alpha8);
    image.fill(0);
    for (int y = 50; y < 71; ++y)
        std::fill(image.scanLine(y) + 50, image.scanLine(y) + 71, uchar(200));
    const QImage blurred = gaussianBlurred(image, sigma);
    ASSERT_EQ(blurred.size(), image.size());

    auto profile = [&](double x) {
        // One axis of a box [50, 71) blurred, times the other axis at the middle.
        auto axis = [&](double at) {
            return 0.5 * (std::erf((71 - 0.5 - at) / (sigma * std::sqrt(2.0))) -
                          std::erf((50 - 0.5 - at) / (sigma * std::sqrt(2.0))));
        };
        return 200 * axis(x) * axis(60);
    };
    for (int x = 30; x <= 90; x += 5)
        EXPECT_NEAR(blurred.constScanLine(60)[x], profile(x), 200 * 0.02) << x;

    long before = 0;
    long after = 0;
    for (int y = 0; y < 121; ++y) {
        for (int x = 0; x < 121; ++x) {
            before += image.constScanLine(y)[x];
            after += blurred.constScanLine(y)[x];
        }
    }
    EXPECT_NEAR(double(after), double(before), before * 0.01);
}

TEST(GaussianBlurTest, FadesOutAtTheImageEdgesInsteadOfSmearing)
{
    QImage image(60, 20, QImage::Format_Alpha8);
    image.fill(255);
    const QImage blurred = gaussianBlurred(image, 4);
    // Beyond the edge is nothing: an edge pixel keeps about half, a corner a quarter.
    EXPECT_NEAR(blurred.constScanLine(10)[0], 255 * 0.55, 12);
    EXPECT_NEAR(blurred.constScanLine(0)[0], 255 * 0.3, 12);
    EXPECT_NEAR(blurred.constScanLine(10)[30], 255, 3) << "the middle stays full";
}

TEST(GaussianBlurTest, RefusesWhatItCannotBlur)
{
    QImage image(8, 8, QImage::Format_Alpha8);
    image.fill(9);
    EXPECT_EQ(gaussianBlurred(image, 0), image);
    EXPECT_EQ(gaussianBlurred(image, NAN), image);
    EXPECT_EQ(gaussianBlurred(image, -3), image);
    EXPECT_TRUE(gaussianBlurred(QImage(8, 8, QImage::Format_ARGB32), 2).isNull());
}

} // namespace
