#include "Platform/Images/PngWriter.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QColorSpace>
#include <QImageReader>

#include <random>

namespace {

QImage readBack(const std::string& bytes)
{
    QByteArray data = QByteArray::fromStdString(bytes);
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "png");
    QImage image = reader.read();
    EXPECT_FALSE(image.isNull()) << reader.errorString().toStdString();
    return image;
}

/// Noise with a gradient under it, alpha varying when asked: every byte of
/// every row differs from the row above, so a band or a filter off by one
/// shows in the pixels.
QImage noisy(int width, int height, QImage::Format format, bool varyAlpha)
{
    QImage image(width, height, QImage::Format_ARGB32);
    std::mt19937 random(7);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgba((x + byte(random)) & 0xFF, (y * 3 + byte(random) / 4) & 0xFF, byte(random),
                                       varyAlpha ? byte(random) : 255));
    return image.convertToFormat(format);
}

void expectSamePixels(const QImage& expected, const QImage& actual)
{
    ASSERT_EQ(expected.size(), actual.size());
    const QImage a = expected.convertToFormat(QImage::Format_ARGB32);
    const QImage b = actual.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            ASSERT_EQ(a.pixel(x, y), b.pixel(x, y)) << "at " << x << "," << y;
}

TEST(PngWriterTest, PixelsComeBackExactlyInEveryLayoutAndSize)
{
    struct Case {
        const char* name;
        int width;
        int height;
        QImage::Format format;
        bool varyAlpha;
        bool storesAlpha;
    };
    const Case cases[] = {
        {"one pixel", 1, 1, QImage::Format_RGB32, false, false},
        {"odd sizes", 7, 3, QImage::Format_RGB32, false, false},
        {"one tall column", 1, 2000, QImage::Format_RGB32, false, false},
        // Several bands: each joined to the one before in one stream.
        {"many bands", 1200, 900, QImage::Format_RGB32, false, false},
        {"many bands with alpha", 900, 700, QImage::Format_ARGB32, true, true},
        {"premultiplied alpha", 300, 200, QImage::Format_ARGB32_Premultiplied, true, true},
        {"packed RGB", 300, 200, QImage::Format_RGB888, false, false},
        {"byte-ordered RGBA", 300, 200, QImage::Format_RGBA8888, true, true},
        {"opaque pixels in a layout with alpha", 64, 64, QImage::Format_ARGB32, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QImage image = noisy(c.width, c.height, c.format, c.varyAlpha);
        ASSERT_TRUE(PngWriter::writes(image));
        const auto encoded = PngWriter::encode(image);
        ASSERT_TRUE(encoded) << encoded.error();
        ASSERT_EQ(encoded->substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
        const QImage back = readBack(*encoded);
        EXPECT_EQ(back.hasAlphaChannel(), c.storesAlpha);
        expectSamePixels(image, back);
    }
}

TEST(PngWriterTest, TheBytesDoNotDependOnTheNumberOfThreads)
{
    const QImage image = noisy(1000, 800, QImage::Format_ARGB32, true);
    const auto alone = PngWriter::encode(image, 1);
    ASSERT_TRUE(alone);
    for (const int threads : {2, 3, 8, 64}) {
        SCOPED_TRACE(threads);
        const auto together = PngWriter::encode(image, threads);
        ASSERT_TRUE(together);
        EXPECT_EQ(*together, *alone);
    }
}

TEST(PngWriterTest, ResolutionAndColourSpaceAreKept)
{
    QImage image = noisy(40, 30, QImage::Format_RGB32, false);
    image.setDotsPerMeterX(11811); // 300 dpi
    image.setDotsPerMeterY(5906);
    image.setColorSpace(QColorSpace::DisplayP3);
    const QImage back = readBack(*PngWriter::encode(image));
    EXPECT_EQ(back.dotsPerMeterX(), 11811);
    EXPECT_EQ(back.dotsPerMeterY(), 5906);
    EXPECT_EQ(back.colorSpace(), QColorSpace(QColorSpace::DisplayP3));

    QImage plain = noisy(4, 4, QImage::Format_RGB32, false);
    plain.setColorSpace(QColorSpace());
    EXPECT_FALSE(readBack(*PngWriter::encode(plain)).colorSpace().isValid());
}

TEST(PngWriterTest, LeavesGreyIndexedAndDeepPicturesToTheOtherWriter)
{
    QImage indexed(4, 4, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(0, 0, 0), qRgb(255, 0, 0)});
    indexed.fill(1);
    const QImage pictures[] = {
        QImage(4, 4, QImage::Format_Grayscale8),
        QImage(4, 4, QImage::Format_RGBA64),
        QImage(4, 4, QImage::Format_Mono),
        indexed,
        QImage(),
    };
    for (const QImage& picture : pictures) {
        SCOPED_TRACE(int(picture.format()));
        EXPECT_FALSE(PngWriter::writes(picture));
        EXPECT_FALSE(PngWriter::encode(picture));
    }
}

} // namespace
