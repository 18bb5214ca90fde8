#include "Platform/Images/ImageCodec.h"

#include "ImageFixtures.h"

#include <gtest/gtest.h>

#include <cmath>

#include <QBuffer>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>

namespace {

using fixtures::Tags;

std::string cut(const std::string& bytes, double fraction)
{
    return bytes.substr(0, static_cast<std::size_t>(double(bytes.size()) * fraction));
}

QImage decoded(const std::string& bytes, ImageCodec::DecodeOptions options = {})
{
    auto result = ImageCodec::decode(bytes, options);
    EXPECT_TRUE(result) << (result ? "" : result.error());
    return result ? result->image : QImage();
}

QImage readBack(const std::string& bytes)
{
    QByteArray data = QByteArray::fromStdString(bytes);
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    return QImageReader(&buffer).read();
}

TEST(ImageCodecTest, EveryFormatCanBeReadAndWrittenHere)
{
    for (const ImageFormat format : allCases<ImageFormat>()) {
        SCOPED_TRACE(std::string(rawValue(format)));
        EXPECT_TRUE(ImageCodec::canDecode(format));
        EXPECT_TRUE(ImageCodec::canEncode(format));
    }
}

// Lossless PNG makes the comparison exact; the stored pixels are laid out
// from the EXIF definition of each tag, independently of the decoder.
TEST(ImageCodecTest, DecodingTurnsEveryExifOrientationUpright)
{
    const QImage display = fixtures::quadrants(60, 40);
    for (int orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE("orientation " + std::to_string(orientation));
        const QImage stored = fixtures::storedFor(display, orientation);
        for (const char* lossless : {"png", "tiff"}) {
            const std::string bytes = fixtures::tagged(fixtures::encoded(stored, lossless), Tags{orientation});
            EXPECT_EQ(decoded(bytes).convertToFormat(QImage::Format_RGB32), display) << lossless;
        }
        for (const char* lossy : {"jpeg", "webp"}) {
            const std::string bytes = fixtures::tagged(fixtures::encoded(stored, lossy, 95), Tags{orientation});
            EXPECT_TRUE(fixtures::showsQuadrantsUpright(decoded(bytes))) << lossy;
        }
    }
}

TEST(ImageCodecTest, AHeicIsTurnedByItsContainerOnceEvenWhenItsExifRepeatsTheTurn)
{
    const QImage display = fixtures::quadrants(64, 48);
    for (const int orientation : {1, 3, 6, 8}) {
        SCOPED_TRACE("orientation " + std::to_string(orientation));
        const QImage image = decoded(fixtures::heic(display, orientation, true));
        EXPECT_EQ(image.size(), display.size());
        EXPECT_TRUE(fixtures::showsQuadrantsUpright(image));
    }
}

TEST(ImageCodecTest, AMaximumSizeReducesTheLongerSideAndNeverEnlarges)
{
    struct Case {
        const char* why;
        QSize stored;
        int orientation;
        std::optional<int> maxPixelSize;
        QSize expected;
    };
    const Case cases[] = {
        {"a 4000x3000 photo", {4000, 3000}, 1, 2048, {2048, 1536}},
        {"a sideways photo comes out upright and portrait", {3000, 2000}, 6, 2048, {1365, 2048}},
        {"smaller than the bound keeps its size", {1000, 800}, 1, 2048, {1000, 800}},
        {"no bound keeps the full size", {2100, 50}, 1, std::nullopt, {2100, 50}},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.why);
        const bool swaps = row.orientation >= 5;
        const QImage display = fixtures::quadrants(swaps ? row.stored.height() : row.stored.width(),
                                                   swaps ? row.stored.width() : row.stored.height());
        const QImage stored = fixtures::storedFor(display, row.orientation);
        for (const char* format : {"jpeg", "png"}) {
            SCOPED_TRACE(format);
            const std::string bytes = fixtures::tagged(fixtures::encoded(stored, format, 90), Tags{row.orientation});
            ImageCodec::DecodeOptions options;
            options.maxPixelSize = row.maxPixelSize;
            const QImage image = decoded(bytes, options);
            EXPECT_EQ(image.size(), row.expected);
            EXPECT_TRUE(fixtures::showsQuadrantsUpright(image));
        }
    }
}

TEST(ImageCodecTest, ACopyKeepsCameraGpsAndIptcButSaysOrientationOneAndItsOwnSize)
{
    const QImage stored = fixtures::storedFor(fixtures::quadrants(300, 200), 6);
    const std::string source = fixtures::tagged(fixtures::encoded(stored, "jpeg", 90), Tags{6, true, true, true});
    ImageCodec::DecodeOptions options;
    options.withMetadata = true;
    options.maxPixelSize = 150;
    auto image = ImageCodec::decode(source, options);
    ASSERT_TRUE(image);
    ASSERT_FALSE(image->metadata.isEmpty());

    for (const ImageFormat format : {ImageFormat::jpeg, ImageFormat::png, ImageFormat::webp, ImageFormat::heic}) {
        SCOPED_TRACE(std::string(rawValue(format)));
        const auto copy = ImageCodec::encode(image->image, {format, 0.8, image->metadata});
        ASSERT_TRUE(copy) << copy.error();
        auto again = ImageCodec::decode(*copy, {std::nullopt, true, std::nullopt});
        ASSERT_TRUE(again) << again.error();
        EXPECT_TRUE(fixtures::showsQuadrantsUpright(again->image)) << "orientation 1: no second turn on reading";
        EXPECT_EQ(again->image.size(), QSize(150, 100));

        Exiv2::ExifData exif;
        Exiv2::ExifParser::decode(exif, reinterpret_cast<const Exiv2::byte*>(again->metadata.exif.data()),
                                  static_cast<std::uint32_t>(again->metadata.exif.size()));
        EXPECT_TRUE(fixtures::has(exif, "Exif.GPSInfo.GPSLatitude"));
        EXPECT_EQ(exif["Exif.Image.Make"].toString(), "Vude Test Camera");
        EXPECT_EQ(exif["Exif.Photo.PixelXDimension"].toLong(), 150) << "the copy's own width, not the source's";
        EXPECT_FALSE(fixtures::has(exif, "Exif.Image.Orientation")) << "orientation is not carried as it was";
    }

    const auto jpeg = ImageCodec::encode(image->image, {ImageFormat::jpeg, 0.8, image->metadata});
    auto written = Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(jpeg->data()), static_cast<long>(jpeg->size()));
    written->readMetadata();
    EXPECT_EQ(written->exifData()["Exif.Image.Orientation"].toLong(), 1);
    EXPECT_EQ(written->iptcData()["Iptc.Application2.Caption"].toString(), "A caption that must not leak");
}

TEST(ImageCodecTest, WithoutMetadataACopyCarriesNoneOfTheSources)
{
    QImage source = fixtures::quadrants(40, 40);
    source.setText("Comment", "written by the source's camera");
    const std::string bytes = fixtures::tagged(fixtures::encoded(source, "png"), Tags{1, true, true, true});
    const auto image = ImageCodec::decode(bytes);
    ASSERT_TRUE(image);
    EXPECT_TRUE(image->metadata.isEmpty()) << "not asked for";
    for (const ImageFormat format : {ImageFormat::png, ImageFormat::jpeg}) {
        SCOPED_TRACE(std::string(rawValue(format)));
        const auto copy = ImageCodec::encode(image->image, {format, 1.0, {}});
        ASSERT_TRUE(copy);
        auto written = Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(copy->data()), static_cast<long>(copy->size()));
        written->readMetadata();
        EXPECT_TRUE(written->exifData().empty());
        EXPECT_TRUE(written->iptcData().empty());
        EXPECT_TRUE(readBack(*copy).textKeys().isEmpty()) << "text chunks and comments stay behind";
    }
}

TEST(ImageCodecTest, JpegLaysTransparencyOnWhite)
{
    QImage clear(20, 20, QImage::Format_ARGB32);
    clear.fill(Qt::transparent);
    const auto jpeg = ImageCodec::encode(clear, {ImageFormat::jpeg, 0.9, {}});
    ASSERT_TRUE(jpeg);
    EXPECT_TRUE(fixtures::near(readBack(*jpeg).pixel(10, 10), Qt::white, 3));
}

TEST(ImageCodecTest, GifKeepsExactColoursAndTransparencyOrDithersManyColours)
{
    QImage few(16, 8, QImage::Format_ARGB32);
    few.fill(Qt::transparent);
    for (int x = 0; x < 8; ++x)
        few.setPixel(x, 2, qRgb(10 * x, 200, 30));
    const auto gif = ImageCodec::encode(few, {ImageFormat::gif, 1.0, {}});
    ASSERT_TRUE(gif) << gif.error();
    const QImage back = readBack(*gif).convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(back, few);

    QImage many(64, 64, QImage::Format_RGB32);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            many.setPixel(x, y, qRgb(x * 4, y * 4, (x + y) * 2));
    const auto dithered = ImageCodec::encode(many, {ImageFormat::gif, 1.0, {}});
    ASSERT_TRUE(dithered) << dithered.error();
    EXPECT_EQ(readBack(*dithered).size(), many.size());
}

std::uint32_t crc32(std::string_view bytes)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char byte : bytes) {
        crc ^= static_cast<unsigned char>(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// A real PNG with the dimensions in its header changed, and the header's
// checksum fixed, as a crafted file would have it.
std::string pngDeclaring(std::uint32_t width, std::uint32_t height, int bitDepth = 8, int colorType = 2)
{
    std::string png = fixtures::encoded(fixtures::quadrants(4, 4), "png");
    const auto put = [&png](std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i)
            png[at + i] = static_cast<char>((value >> (24 - 8 * i)) & 0xFF);
    };
    put(16, width);
    put(20, height);
    png[24] = static_cast<char>(bitDepth);
    png[25] = static_cast<char>(colorType);
    put(29, crc32(std::string_view(png).substr(12, 17)));
    return png;
}

// A lossless WebP's header declaring `width` x `height`, its data cut short.
std::string webpDeclaring(std::uint32_t width, std::uint32_t height)
{
    const std::uint32_t dimensions = (width - 1) | ((height - 1) << 14);
    const std::string payload = "\x2F" + fixtures::littleEndian(dimensions, 4) + std::string(32, '\0');
    const std::string body = "WEBP" + std::string("VP8L") + fixtures::littleEndian(std::uint32_t(payload.size()), 4) + payload;
    return "RIFF" + fixtures::littleEndian(std::uint32_t(body.size()), 4) + body;
}

// A progressive JPEG with its frame header changed to declare `width` x `height`.
std::string progressiveJpegDeclaring(std::uint16_t width, std::uint16_t height)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setProgressiveScanWrite(true);
    writer.write(fixtures::quadrants(16, 16));
    std::string jpeg = buffer.data().toStdString();
    const auto sof = jpeg.find("\xFF\xC2", 0, 2);
    if (sof == std::string::npos)
        return {};
    jpeg[sof + 5] = static_cast<char>(height >> 8);
    jpeg[sof + 6] = static_cast<char>(height & 0xFF);
    jpeg[sof + 7] = static_cast<char>(width >> 8);
    jpeg[sof + 8] = static_cast<char>(width & 0xFF);
    return jpeg;
}

// A HEIC whose image-size properties declare `width` x `height`.
std::string heicDeclaring(std::uint32_t width, std::uint32_t height)
{
    std::string heic = fixtures::heic(fixtures::quadrants(64, 48));
    const auto put = [&heic](std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i)
            heic[at + i] = static_cast<char>((value >> (24 - 8 * i)) & 0xFF);
    };
    for (auto at = heic.find("ispe"); at != std::string::npos; at = heic.find("ispe", at + 4)) {
        put(at + 8, width);
        put(at + 12, height);
    }
    return heic;
}

std::string jpegDeclaring(std::uint16_t width, std::uint16_t height)
{
    std::string jpeg = fixtures::encoded(fixtures::quadrants(16, 16), "jpeg", 80);
    const auto sof = jpeg.find("\xFF\xC0", 0, 2);
    jpeg[sof + 5] = static_cast<char>(height >> 8);
    jpeg[sof + 6] = static_cast<char>(height & 0xFF);
    jpeg[sof + 7] = static_cast<char>(width >> 8);
    jpeg[sof + 8] = static_cast<char>(width & 0xFF);
    return jpeg;
}

std::string bmpDeclaring(std::int32_t width, std::int32_t height)
{
    std::string bmp = fixtures::encoded(fixtures::quadrants(4, 4), "bmp");
    std::memcpy(bmp.data() + 18, &width, 4);
    std::memcpy(bmp.data() + 22, &height, 4);
    return bmp;
}

// Sixteen distinct colours for the run-length-encoded BMPs, so that any
// index a decoder might leave in a pixel reads as a colour.
const std::vector<QRgb> rlePalette = [] {
    std::vector<QRgb> colors = {qRgb(200, 30, 30), qRgb(30, 200, 30), qRgb(30, 30, 200), qRgb(220, 220, 40)};
    for (int i = 4; i < 16; ++i)
        colors.push_back(qRgb(i * 15, 255 - i * 15, (i * 77) % 256));
    return colors;
}();

// The byte for a run of index `index` at `bits` bits a pixel.
int runOf(int bits, int index)
{
    return bits == 8 ? index : (index << 4) | index;
}

// 8 x 4 pixels, rows bottom up: a literal run 0 1 2 then five 3s, then one
// row each of index 1, 2 and 3.
std::string completeRleStream(int bits)
{
    using namespace fixtures::rle;
    const std::string literalBytes = bits == 8 ? std::string("\0\1\2", 3) : std::string("\x01\x20", 2);
    return literal(3, literalBytes) + run(5, runOf(bits, 3)) + endOfLine() + run(8, runOf(bits, 1)) + endOfLine()
        + run(8, runOf(bits, 2)) + endOfLine() + run(8, runOf(bits, 3)) + endOfLine() + endOfImage();
}

// The picture completeRleStream() draws, top row first.
QImage completeRlePicture()
{
    QImage image(8, 4, QImage::Format_ARGB32);
    const int rows[4] = {3, 2, 1, -1};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x)
            image.setPixel(x, y, rlePalette[rows[y] >= 0 ? rows[y] : (x < 3 ? x : 3)]);
    return image;
}

// The same size, skipping pixels every way the format allows: a move right
// and up, an early end of line and an early end of the image.
std::string skippingRleStream(int bits)
{
    using namespace fixtures::rle;
    return run(4, runOf(bits, 1)) + delta(2, 1) + run(2, runOf(bits, 2)) + endOfLine() + run(3, runOf(bits, 3))
        + endOfLine() + run(5, runOf(bits, 0)) + endOfImage();
}

// What skippingRleStream() draws; 0 is transparent.
QImage skippingRlePicture()
{
    QImage image(8, 4, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    for (int x = 0; x < 5; ++x)
        image.setPixel(x, 0, rlePalette[0]);
    for (int x = 0; x < 3; ++x)
        image.setPixel(x, 1, rlePalette[3]);
    for (int x = 6; x < 8; ++x)
        image.setPixel(x, 2, rlePalette[2]);
    for (int x = 0; x < 4; ++x)
        image.setPixel(x, 3, rlePalette[1]);
    return image;
}

// The complete stream's first two rows, and no end mark.
std::string rleBmpCutShort(int bits)
{
    const std::string stream = completeRleStream(bits);
    const auto secondLineEnd = stream.find(fixtures::rle::endOfLine(), stream.find(fixtures::rle::endOfLine()) + 2);
    return fixtures::rleBmp(bits, 8, 4, rlePalette, stream.substr(0, secondLineEnd + 2));
}

TEST(ImageCodecTest, RunLengthEncodedBmpsShowEveryRunAndNothingWhereTheDataSkips)
{
    for (const int bits : {8, 4}) {
        SCOPED_TRACE(std::to_string(bits) + " bits");
        const QImage complete = decoded(fixtures::rleBmp(bits, 8, 4, rlePalette, completeRleStream(bits)));
        EXPECT_FALSE(complete.hasAlphaChannel());
        EXPECT_EQ(complete.convertToFormat(QImage::Format_ARGB32), completeRlePicture());

        const QImage skipping = decoded(fixtures::rleBmp(bits, 8, 4, rlePalette, skippingRleStream(bits)));
        EXPECT_EQ(skipping.convertToFormat(QImage::Format_ARGB32), skippingRlePicture());
    }
}

// A small first frame in the middle of a larger canvas: the rest of the
// canvas is transparent, whatever the file says about transparency.
TEST(ImageCodecTest, AnAnimatedWebpShowsNothingOutsideItsFirstFrame)
{
    const std::string still = fixtures::encoded(fixtures::quadrants(20, 20), "webp", 95);
    for (const bool saysAlpha : {false, true}) {
        SCOPED_TRACE(saysAlpha ? "says it has alpha" : "says it has none");
        const QImage image = decoded(fixtures::animatedWebp(still, QSize(64, 48), QPoint(10, 12), QSize(20, 20), saysAlpha));
        ASSERT_EQ(image.size(), QSize(64, 48));
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
        EXPECT_EQ(qAlpha(image.pixel(63, 47)), 0);
        EXPECT_EQ(qAlpha(image.pixel(20, 22)), 255);
        EXPECT_TRUE(fixtures::showsQuadrantsUpright(image.copy(10, 12, 20, 20)));
    }
    // A frame over the whole canvas leaves nothing transparent.
    const QImage whole = decoded(fixtures::animatedWebp(still, QSize(20, 20), QPoint(0, 0), QSize(20, 20), false));
    EXPECT_FALSE(whole.hasAlphaChannel());
    EXPECT_TRUE(fixtures::showsQuadrantsUpright(whole));
}

TEST(ImageCodecTest, ATenBitHeicDecodes)
{
    const QImage image = decoded(fixtures::heicTenBit(128, 96));
    ASSERT_EQ(image.size(), QSize(128, 96));
    EXPECT_LT(qGray(image.pixel(10, 10)), qGray(image.pixel(118, 10))) << "dark left, bright right";
    EXPECT_GT(qRed(image.pixel(100, 10)), qRed(image.pixel(100, 86))) << "reddish top";
    EXPECT_GT(qBlue(image.pixel(100, 86)), qBlue(image.pixel(100, 10))) << "bluish bottom";
}

// A damaged or crafted resolution must not keep a copy from being written.
TEST(ImageCodecTest, AnInsaneResolutionIsDroppedNotWritten)
{
    const QImage picture = fixtures::quadrants(40, 30);
    struct Row {
        const char* why;
        std::string bytes;
    };
    using fixtures::doubleBytes, fixtures::rational, fixtures::tiffWithResolution;
    const Row rows[] = {
        {"far too many dots per inch", tiffWithResolution(picture, 5, rational(0xFFFFFFFF, 1))},
        {"a double far too large", tiffWithResolution(picture, 12, doubleBytes(1e30))},
        {"zero dots per inch", tiffWithResolution(picture, 5, rational(0, 1))},
        {"a fraction of a dot per inch", tiffWithResolution(picture, 5, rational(1, 0xFFFFFFFF))},
        {"no denominator", tiffWithResolution(picture, 5, rational(72, 0))},
        {"negative", tiffWithResolution(picture, 10, rational(static_cast<std::uint32_t>(-72), 1))},
        {"not a number", tiffWithResolution(picture, 12, doubleBytes(std::nan("")))},
        {"infinite", tiffWithResolution(picture, 12, doubleBytes(-HUGE_VAL))},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        const auto image = ImageCodec::decode(row.bytes);
        ASSERT_TRUE(image) << image.error();
        for (const ImageFormat format : allCases<ImageFormat>()) {
            SCOPED_TRACE(std::string(rawValue(format)));
            const auto copy = ImageCodec::encode(image->image, {format, 0.9, {}});
            ASSERT_TRUE(copy) << copy.error();
            const auto back = ImageCodec::decode(*copy);
            ASSERT_TRUE(back) << back.error();
            EXPECT_TRUE(fixtures::showsQuadrantsUpright(back->image));
            EXPECT_GE(back->image.dotsPerMeterX(), 0);
            EXPECT_GE(back->image.dotsPerMeterY(), 0);
        }
    }
    // A sane resolution is kept.
    QImage printed = picture;
    printed.setDotsPerMeterX(11811); // 300 dpi
    printed.setDotsPerMeterY(11811);
    const auto tiff = ImageCodec::encode(printed, {ImageFormat::tiff, 0.9, {}});
    ASSERT_TRUE(tiff) << tiff.error();
    EXPECT_NEAR(readBack(*tiff).dotsPerMeterX(), 11811, 1);
}

// A GIF whose first frame covers a part of its logical screen.
std::string gifWithSmallFirstFrame()
{
    std::string gif = ImageCodec::encode(fixtures::quadrants(20, 20), {ImageFormat::gif, 1.0, {}}).value();
    const auto flags = static_cast<unsigned char>(gif[10]);
    std::size_t at = 13 + ((flags & 0x80) ? (std::size_t(3) << ((flags & 0x07) + 1)) : 0);
    while (static_cast<unsigned char>(gif[at]) == 0x21) {
        at += 2;
        while (gif[at] != 0)
            at += 1 + static_cast<unsigned char>(gif[at]);
        ++at;
    }
    gif.replace(6, 4, fixtures::littleEndian(64, 2) + fixtures::littleEndian(64, 2));
    gif.replace(at + 1, 4, fixtures::littleEndian(10, 2) + fixtures::littleEndian(10, 2));
    return gif;
}

// Each file decodes, in a child process, under two different fills of fresh
// memory; a pixel no decoder wrote would show the fill and change the digest.
// Two fills are small numbers, so they are also indices into the BMPs'
// colour tables; the third is large, for decoders whose samples a small one
// would clip to the same colour.
TEST(ImageCodecTest, NoDecodedPixelShowsWhatTheAllocatorLeft)
{
    const std::string still = fixtures::encoded(fixtures::quadrants(20, 20), "webp", 95);
    const std::pair<const char*, std::string> files[] = {
        {"skipping-rle8.bmp", fixtures::rleBmp(8, 8, 4, rlePalette, skippingRleStream(8))},
        {"skipping-rle4.bmp", fixtures::rleBmp(4, 8, 4, rlePalette, skippingRleStream(4))},
        {"small-frame.webp", fixtures::animatedWebp(still, QSize(64, 48), QPoint(10, 12), QSize(20, 20), false)},
        {"small-frame.gif", gifWithSmallFirstFrame()},
        {"shortened.heic", fixtures::withShortenedPicture(fixtures::heic(fixtures::quadrants(256, 192)), 0.5)},
        {"shortened-10-bit.heic", fixtures::withShortenedPicture(fixtures::heicTenBit(256, 192), 0.5)},
    };
    QTemporaryDir folder;
    QStringList paths;
    for (const auto& [name, bytes] : files) {
        paths << folder.filePath(name);
        fixtures::writeFile(paths.back().toStdString(), bytes);
    }
    const auto digests = [&paths](int fill) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("ASAN_OPTIONS", environment.value("ASAN_OPTIONS") + ":malloc_fill_byte="
                                               + QString::number(fill) + ":max_malloc_fill_size=2147483647");
        // glibc fills with the complement of the number it is given.
        environment.insert("MALLOC_PERTURB_", QString::number(fill ^ 0xFF));
        QProcess child;
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QStringLiteral(VUDE_DECODED_PIXELS_DIGEST), paths);
        EXPECT_TRUE(child.waitForFinished(-1));
        EXPECT_EQ(child.exitCode(), 0);
        std::vector<std::string> lines;
        for (const QString& line : QString::fromUtf8(child.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts))
            lines.push_back(line.toStdString());
        return lines;
    };
    const auto first = digests(5);
    ASSERT_EQ(first.size(), std::size(files));
    for (const int fill : {10, 200}) {
        const auto other = digests(fill);
        ASSERT_EQ(other.size(), first.size());
        for (std::size_t i = 0; i < std::size(files); ++i) {
            SCOPED_TRACE(std::string(files[i].first) + ", fill " + std::to_string(fill));
            EXPECT_NE(first[i], "refused") << "the file must decode for the comparison to mean anything";
            EXPECT_EQ(first[i], other[i]);
        }
    }
}

// A file of a few bytes can declare a huge image. What its decoding and the
// encoding after it would take is counted from the header, and what is over
// the budget is refused before a pixel is decoded. (The rows' data is cut
// short: decoding them could only fail, so a refusal shows as its reason.)
TEST(ImageCodecTest, WorkingMemoryOverTheBudgetIsRefusedBeforeDecoding)
{
    struct Row {
        const char* why;
        std::string bytes;
        std::optional<int> maxPixelSize;
        std::optional<ImageFormat> encodingAs;
        bool refused;
    };
    const std::string pngBomb = pngDeclaring(11000, 11000, 8, 6);
    const std::string rleBomb = [] {
        std::string bmp = fixtures::rleBmp(8, 8, 4, rlePalette, completeRleStream(8));
        bmp.replace(18, 8, fixtures::littleEndian(11000, 4) + fixtures::littleEndian(11000, 4));
        return bmp;
    }();
    const Row rows[] = {
        {"an 11000 x 11000 PNG, for HEIC", pngBomb, std::nullopt, ImageFormat::heic, true},
        {"an 11000 x 11000 PNG, reduced while decoding, for JPEG", pngBomb, 2048, ImageFormat::jpeg, false},
        {"a 5000 x 5000 PNG, for HEIC", pngDeclaring(5000, 5000), std::nullopt, ImageFormat::heic, true},
        {"a 5000 x 5000 PNG, for PNG", pngDeclaring(5000, 5000), std::nullopt, ImageFormat::png, false},
        {"a 5000 x 5000 PNG, decoded alone", pngDeclaring(5000, 5000), std::nullopt, std::nullopt, false},
        {"an 11000 x 11000 PNG of 16 bits a channel, decoded alone", pngDeclaring(11000, 11000, 16, 6), std::nullopt,
         std::nullopt, true},
        {"an 11000 x 11000 WebP, for HEIC", webpDeclaring(11000, 11000), std::nullopt, ImageFormat::heic, true},
        {"an 11000 x 11000 WebP, for TIFF", webpDeclaring(11000, 11000), std::nullopt, ImageFormat::tiff, true},
        {"an 11000 x 11000 lossless WebP, reduced", webpDeclaring(11000, 11000), 2048, ImageFormat::jpeg, true},
        {"a 5000 x 5000 lossless WebP, decoded alone", webpDeclaring(5000, 5000), std::nullopt, std::nullopt, false},
        {"a 20000 x 20000 progressive JPEG, reduced", progressiveJpegDeclaring(20000, 20000), 2048, ImageFormat::jpeg,
         true},
        {"a 10000 x 10000 baseline JPEG, reduced", jpegDeclaring(10000, 10000), 2048, ImageFormat::jpeg, false},
        {"a 20000 x 20000 baseline JPEG, reduced: over the pixel cap whatever the reduction",
         jpegDeclaring(20000, 20000), 2048, ImageFormat::jpeg, true},
        {"a 6000 x 6000 HEIC, for HEIC", heicDeclaring(6000, 6000), std::nullopt, ImageFormat::heic, true},
        {"a 6000 x 6000 HEIC, decoded alone", heicDeclaring(6000, 6000), std::nullopt, std::nullopt, false},
        {"an 11000 x 11000 run-length BMP, for HEIC", rleBomb, std::nullopt, ImageFormat::heic, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        ASSERT_FALSE(row.bytes.empty());
        ImageCodec::DecodeOptions options;
        options.maxPixelSize = row.maxPixelSize;
        options.encodingAs = row.encodingAs;
        const auto result = ImageCodec::decode(row.bytes, options);
        const bool tooLarge = !result && result.error().find("too large") != std::string::npos;
        EXPECT_EQ(tooLarge, row.refused) << (result ? "decoded" : result.error());
    }
}

// Each row must fail with a clear reason and no crash (the suite runs under
// the sanitizers); "too large" rows are refused before anything is allocated.
TEST(ImageCodecTest, HostileDataFailsCleanly)
{
    const QImage picture = fixtures::quadrants(200, 150);
    const auto formatBytes = [&picture](const char* format) { return fixtures::encoded(picture, format, 90); };
    struct Case {
        const char* why;
        std::string bytes;
        std::optional<int> maxPixelSize;
        const char* reason; // a part of the error, or empty for any
    };
    const Case cases[] = {
        {"a zero-byte file", "", std::nullopt, "empty"},
        {"text with an image's name", "just some notes\n", std::nullopt, "not an image"},
        {"an SVG dressed as a PNG", "<svg xmlns='http://www.w3.org/2000/svg'/>", std::nullopt, "not an image"},
        {"a JPEG cut in half", cut(formatBytes("jpeg"), 0.5), std::nullopt, "ends early"},
        {"a JPEG cut in half, reduced", cut(formatBytes("jpeg"), 0.5), 64, "ends early"},
        {"a JPEG cut after its header", cut(formatBytes("jpeg"), 0.1), std::nullopt, "ends early"},
        {"a JPEG without its last two bytes", cut(formatBytes("jpeg"), 0.999), std::nullopt, "ends early"},
        {"a PNG cut in half", cut(formatBytes("png"), 0.5), std::nullopt, ""},
        {"a PNG cut in half, reduced", cut(formatBytes("png"), 0.5), 64, ""},
        {"a GIF cut in half", cut(ImageCodec::encode(picture, {ImageFormat::gif, 1.0, {}}).value(), 0.5), std::nullopt, ""},
        {"a TIFF cut in half", cut(formatBytes("tiff"), 0.5), std::nullopt, ""},
        {"a WebP cut in half", cut(formatBytes("webp"), 0.5), std::nullopt, ""},
        {"a BMP cut in half", cut(formatBytes("bmp"), 0.5), std::nullopt, ""},
        {"a HEIC cut in half", cut(fixtures::heic(picture), 0.5), std::nullopt, ""},
        {"a HEIC's first bytes", cut(fixtures::heic(picture), 0.05), std::nullopt, ""},
        {"a PNG declaring 100000 x 100000", pngDeclaring(100000, 100000), std::nullopt, "too large"},
        {"a PNG declaring 2^31 - 1 a side", pngDeclaring(0x7FFFFFFF, 0x7FFFFFFF), 2048, ""},
        {"a JPEG declaring 65000 x 65000", jpegDeclaring(65000, 65000), std::nullopt, "too large"},
        {"a JPEG declaring 65000 x 65000, reduced", jpegDeclaring(65000, 65000), 2048, "too large"},
        {"a JPEG declaring zero width", jpegDeclaring(0, 100), std::nullopt, ""},
        {"a BMP declaring 100000 x 100000", bmpDeclaring(100000, 100000), std::nullopt, ""},
        {"a BMP declaring a negative width", bmpDeclaring(-50, 50), std::nullopt, ""},
        {"an RLE8 BMP whose data stops before its end mark", rleBmpCutShort(8), std::nullopt, "ends early"},
        {"an RLE4 BMP whose data stops before its end mark", rleBmpCutShort(4), std::nullopt, "ends early"},
        {"an RLE8 BMP cut inside a literal run",
         fixtures::rleBmp(8, 8, 4, rlePalette, fixtures::rle::literal(6, std::string("\0\1\2\3\0\1", 6)).substr(0, 5)),
         std::nullopt, "ends early"},
        {"an RLE8 BMP cut inside a move", fixtures::rleBmp(8, 8, 4, rlePalette, fixtures::rle::delta(2, 1).substr(0, 3)),
         std::nullopt, "ends early"},
        {"an RLE BMP whose depth is not its compression's",
         fixtures::rleBmp(8, 8, 4, rlePalette, completeRleStream(8)).replace(28, 1, 1, '\x04'), std::nullopt, ""},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.why);
        ImageCodec::DecodeOptions options;
        options.maxPixelSize = row.maxPixelSize;
        options.withMetadata = true;
        const auto result = ImageCodec::decode(row.bytes, options);
        ASSERT_FALSE(result) << "decoded to " << result->image.width() << "x" << result->image.height();
        EXPECT_FALSE(result.error().empty());
        EXPECT_NE(result.error().find(row.reason), std::string::npos) << result.error();
    }
}

TEST(ImageCodecTest, DamagedMetadataNeverCostsThePixels)
{
    using namespace std::string_literals;
    const std::string jpeg = fixtures::encoded(fixtures::quadrants(40, 30), "jpeg", 90);
    // EXIF segments whose directory offsets and counts point far outside them.
    const std::string payloads[] = {
        "Exif\0\0II*\0\xF0\xFF\xFF\xFF"s,
        "Exif\0\0MM\0*\0\0\0\x08\xFF\xFF\x01\x12\0\x03\xFF\xFF\xFF\xFF\0\0\0\0"s,
        "Exif\0\0"s,
    };
    for (const auto& payload : payloads) {
        SCOPED_TRACE(payload.size());
        const std::size_t length = payload.size() + 2;
        const std::string segment = "\xFF\xE1"s + char(length >> 8) + char(length & 0xFF) + payload;
        const std::string damaged = jpeg.substr(0, 2) + segment + jpeg.substr(2);
        ImageCodec::DecodeOptions options;
        options.withMetadata = true;
        const auto image = ImageCodec::decode(damaged, options);
        ASSERT_TRUE(image) << image.error();
        EXPECT_TRUE(fixtures::showsQuadrantsUpright(image->image));
        const auto copy = ImageCodec::encode(image->image, {ImageFormat::jpeg, 0.8, image->metadata});
        EXPECT_TRUE(copy);
    }
}

} // namespace
