#include "Platform/Images/ImageCodec.h"

#include "Platform/Core/AtomicFile.h"
#include "Platform/Images/BmpRleDecoder.h"
#include "Platform/Images/GifWriter.h"
#include "Platform/Images/HeifCodec.h"
#include "Platform/Images/PngWriter.h"
#include "VudeKit/Numbers.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QTransform>

#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

// Qt's own limit, a safety net for decoders whose size is unknown beforehand.
constexpr int qtAllocationLimitMiB = 1024;
constexpr int tiffLzwCompression = 1;
// Qt's PNG writer turns quality q into zlib level (100 - q) * 9 / 91: 85 gives
// level 1. With libpng's adaptive row filters that is within 5 % of the
// default level's size at a third of its time.
constexpr int pngQualityForFastDeflate = 85;

QByteArray qtFormatName(ImageFormat format)
{
    switch (format) {
    case ImageFormat::jpeg: return "jpeg";
    case ImageFormat::png: return "png";
    case ImageFormat::tiff: return "tiff";
    case ImageFormat::gif: return "gif";
    case ImageFormat::bmp: return "bmp";
    case ImageFormat::webp: return "webp";
    case ImageFormat::heic:
    case ImageFormat::heif: break;
    }
    return {};
}

bool isHeif(ImageFormat format)
{
    return format == ImageFormat::heic || format == ImageFormat::heif;
}

// libjpeg fills the missing rest of a cut-off JPEG with grey and only warns,
// so completeness is checked first: the end-of-image marker must follow a scan.
// Entropy-coded data never holds 0xFF followed by a marker code, so the first
// such pair after a scan is the next marker.
bool jpegIsComplete(std::string_view data)
{
    const auto byteAt = [&data](std::size_t at) { return static_cast<unsigned char>(data[at]); };
    bool sawScan = false;
    std::size_t at = 2;
    while (at < data.size()) {
        const void* found = std::memchr(data.data() + at, 0xFF, data.size() - at);
        if (!found)
            return false;
        std::size_t marker = static_cast<std::size_t>(static_cast<const char*>(found) - data.data()) + 1;
        while (marker < data.size() && byteAt(marker) == 0xFF)
            ++marker;
        if (marker >= data.size())
            return false;
        const unsigned char code = byteAt(marker);
        if (code == 0xD9)
            return sawScan;
        const bool standalone = code == 0x00 || code == 0x01 || code == 0xD8 || (code >= 0xD0 && code <= 0xD7);
        if (standalone) {
            at = marker + 1;
            continue;
        }
        if (marker + 2 >= data.size())
            return false;
        const std::size_t length = (std::size_t(byteAt(marker + 1)) << 8) | byteAt(marker + 2);
        if (length < 2)
            return false;
        at = marker + 1 + length;
        if (code == 0xDA)
            sawScan = true;
    }
    return false;
}

// Qt shows a cut-off GIF's first frame with its missing rows blank, so the
// frame's data blocks are walked first: they must end inside the file.
bool gifFirstFrameIsComplete(std::string_view data)
{
    const auto byteAt = [&data](std::size_t at) { return static_cast<unsigned char>(data[at]); };
    const auto colorTableBytes = [](unsigned char flags) {
        return (flags & 0x80) ? std::size_t(3) << ((flags & 0x07) + 1) : std::size_t(0);
    };
    // Skips a chain of data sub-blocks; returns the position after its terminator.
    const auto skipSubBlocks = [&](std::size_t at) -> std::optional<std::size_t> {
        while (at < data.size()) {
            const std::size_t length = byteAt(at);
            if (length == 0)
                return at + 1;
            at += 1 + length;
        }
        return std::nullopt;
    };
    constexpr std::size_t headerBytes = 13;
    if (data.size() < headerBytes)
        return false;
    std::size_t at = headerBytes + colorTableBytes(byteAt(10));
    while (at < data.size()) {
        const unsigned char introducer = byteAt(at);
        if (introducer == 0x21) {
            const auto next = skipSubBlocks(at + 2);
            if (!next)
                return false;
            at = *next;
        } else if (introducer == 0x2C) {
            constexpr std::size_t descriptorBytes = 10;
            if (at + descriptorBytes >= data.size())
                return false;
            // After the descriptor and its colour table: the LZW code size, then the data.
            return skipSubBlocks(at + descriptorBytes + colorTableBytes(byteAt(at + 9)) + 1).has_value();
        } else {
            return false;
        }
    }
    return false;
}

// Qt also shows a cut-off BMP with blank rows. Uncompressed pixel data has a
// known length; other compressed data (run-length encoded is decoded here)
// must at least fit the file size it declares.
bool bmpIsComplete(std::string_view data)
{
    const auto little = [&data](std::size_t at, int bytes) {
        std::uint32_t value = 0;
        for (int i = bytes - 1; i >= 0; --i)
            value = (value << 8) | static_cast<unsigned char>(data[at + static_cast<std::size_t>(i)]);
        return value;
    };
    constexpr std::size_t coreHeaderEnd = 26;
    if (data.size() < coreHeaderEnd)
        return false;
    const std::uint64_t declaredSize = little(2, 4);
    const std::uint64_t pixelOffset = little(10, 4);
    const std::uint32_t headerSize = little(14, 4);
    std::int64_t width = 0, height = 0;
    std::uint32_t bitsPerPixel = 0, compression = 0;
    if (headerSize == 12) {
        width = little(18, 2);
        height = static_cast<std::int16_t>(little(20, 2));
        bitsPerPixel = little(24, 2);
    } else {
        if (data.size() < 34)
            return false;
        width = static_cast<std::int32_t>(little(18, 4));
        height = static_cast<std::int32_t>(little(22, 4));
        bitsPerPixel = little(28, 2);
        compression = little(30, 4);
    }
    const bool uncompressed = compression == 0 || compression == 3 || compression == 6;
    if (!uncompressed)
        return declaredSize <= data.size();
    const std::uint64_t rowBytes = (std::uint64_t(std::llabs(width)) * bitsPerPixel + 31) / 32 * 4;
    return pixelOffset + rowBytes * std::uint64_t(std::llabs(height)) <= data.size();
}

/// The size whose longer side is `maxPixelSize`, or `size` when it fits.
QSize fitted(QSize size, std::optional<int> maxPixelSize)
{
    if (!maxPixelSize)
        return size;
    const int limit = std::max(1, *maxPixelSize);
    const int longer = std::max(size.width(), size.height());
    if (longer <= limit)
        return size;
    const double scale = double(limit) / double(longer);
    return QSize(std::max(1, saturatingRound<int>(size.width() * scale)),
                 std::max(1, saturatingRound<int>(size.height() * scale)));
}

bool tooLarge(QSize size)
{
    return std::int64_t(size.width()) * std::int64_t(size.height()) > ImageCodec::maxDecodedPixels;
}

// --- The working-memory budget -------------------------------------------
//
// What one image takes is the larger of what decoding takes (the decoder's
// buffers and the decoded pixels, a reduced copy beside them, a turned copy)
// and what encoding then takes (the pixels it reads and the encoder's working
// copies). The bytes per pixel are peaks measured on a 12 MP photo by
// bench/DecodeBudgetBench.cpp, rounded up.

// libde265's picture and its bookkeeping, libheif's copy of the picture and
// the RGB conversion (a turned copy too when the container says so).
constexpr std::int64_t heifDecodingBytesPerPixel = 12;

// Encoding 8-bit pixels (4 bytes each, included) in each format.
std::int64_t encodingBytesPerPixel(ImageFormat format)
{
    switch (format) {
    case ImageFormat::jpeg: return 9;  // an opaque copy when they have alpha
    case ImageFormat::png: return 8;
    case ImageFormat::tiff: return 10;
    case ImageFormat::bmp: return 11;
    case ImageFormat::gif: return 12;  // the indexed copy and the dither's
    case ImageFormat::webp: return 19; // libwebp's ARGB picture and its YUV planes
    case ImageFormat::heic:
    case ImageFormat::heif: return 22; // the picture libheif takes, its YCbCr copy and x265's analysis
    }
    return 32;
}

std::int64_t saturatedSum(std::int64_t a, std::int64_t b)
{
    return a > std::numeric_limits<std::int64_t>::max() - b ? std::numeric_limits<std::int64_t>::max() : a + b;
}

std::int64_t bytesFor(QSize size, std::int64_t bytesPerPixel)
{
    const std::int64_t pixels = std::int64_t(std::max(size.width(), 0)) * std::int64_t(std::max(size.height(), 0));
    if (bytesPerPixel > 0 && pixels > std::numeric_limits<std::int64_t>::max() / bytesPerPixel)
        return std::numeric_limits<std::int64_t>::max();
    return pixels * bytesPerPixel;
}

/// What a pixel of the image a Qt reader will make takes.
std::int64_t bytesPerPixel(QImage::Format format, ImageFormat source)
{
    const int bits = QImage::toPixelFormat(format).bitsPerPixel();
    if (bits > 0)
        return (bits + 7) / 8;
    // A reader that cannot tell in advance: PNG and TIFF may hold 16 bits a channel.
    return source == ImageFormat::png || source == ImageFormat::tiff ? 8 : 4;
}

// libwebp decodes a lossy picture through its YUV planes; a lossless one, or
// Qt an animation's canvas, takes about three times the pixels.
std::int64_t webpDecodingBytesPerPixel(std::string_view data)
{
    const std::string_view head = data.substr(0, 4096);
    const bool losslessOrAnimated = head.find("VP8L") != std::string_view::npos
        || (data.size() > 20 && data.substr(12, 4) == "VP8X" && (static_cast<unsigned char>(data[20]) & 0x02));
    return losslessOrAnimated ? 12 : 6;
}

/// Whether an image whose decoding takes `decodingBytes` and makes pixels of
/// `decodedSize` (`imageBytesPerPixel` each), reduced to `target`, turned
/// when `turns` and then encoded as asked stays within maxWorkingBytes.
bool fitsWorkingMemory(std::int64_t decodingBytes, QSize decodedSize, std::int64_t imageBytesPerPixel, QSize target,
                       bool turns, const ImageCodec::DecodeOptions& options)
{
    constexpr std::int64_t copyBytesPerPixel = 4;
    std::int64_t decoding = decodingBytes;
    if (decodedSize != target)
        decoding = saturatedSum(decoding, bytesFor(target, copyBytesPerPixel));
    if (turns)
        decoding = std::max(decoding, bytesFor(target, 2 * imageBytesPerPixel));
    std::int64_t encoding = 0;
    if (options.encodingAs)
        encoding = bytesFor(target, encodingBytesPerPixel(*options.encodingAs)
                                        + std::max<std::int64_t>(0, imageBytesPerPixel - copyBytesPerPixel));
    return std::max(decoding, encoding) <= ImageCodec::maxWorkingBytes;
}

bool turnsQuarter(int orientation)
{
    return orientation >= 5 && orientation <= 8;
}

// libjpeg keeps the DCT coefficients of the whole image (two bytes each, at
// each component's own resolution) when it cannot decode in one pass: for a
// progressive file, or one whose components come in separate scans. That
// buffer is as large as the stored image, whatever size is decoded.
std::int64_t jpegCoefficientBytes(std::string_view data)
{
    const auto byteAt = [&data](std::size_t at) { return static_cast<unsigned char>(data[at]); };
    const auto bigEndian = [&](std::size_t at) { return (std::size_t(byteAt(at)) << 8) | byteAt(at + 1); };
    std::int64_t coefficients = 0;
    bool progressive = false;
    int scans = 0;
    std::size_t at = 2;
    while (at < data.size()) {
        const void* found = std::memchr(data.data() + at, 0xFF, data.size() - at);
        if (!found)
            break;
        std::size_t marker = static_cast<std::size_t>(static_cast<const char*>(found) - data.data()) + 1;
        while (marker < data.size() && byteAt(marker) == 0xFF)
            ++marker;
        if (marker + 2 >= data.size())
            break;
        const unsigned char code = byteAt(marker);
        if (code == 0xD9)
            break;
        if (code == 0x00 || code == 0x01 || code == 0xD8 || (code >= 0xD0 && code <= 0xD7)) {
            at = marker + 1;
            continue;
        }
        const std::size_t length = bigEndian(marker + 1);
        const bool isFrame = code >= 0xC0 && code <= 0xCF && code != 0xC4 && code != 0xC8 && code != 0xCC;
        if (isFrame && marker + 9 < data.size()) {
            progressive = code == 0xC2 || code == 0xC6 || code == 0xCA || code == 0xCE;
            const std::size_t height = bigEndian(marker + 4);
            const std::size_t width = bigEndian(marker + 6);
            const std::size_t components = byteAt(marker + 8);
            std::size_t maxH = 1, maxV = 1;
            for (std::size_t i = 0; i < components && marker + 11 + i * 3 < data.size(); ++i) {
                maxH = std::max<std::size_t>(maxH, byteAt(marker + 10 + i * 3) >> 4);
                maxV = std::max<std::size_t>(maxV, byteAt(marker + 10 + i * 3) & 0x0F);
            }
            coefficients = 0;
            for (std::size_t i = 0; i < components && marker + 11 + i * 3 < data.size(); ++i) {
                const std::size_t h = std::max<std::size_t>(1, byteAt(marker + 10 + i * 3) >> 4);
                const std::size_t v = std::max<std::size_t>(1, byteAt(marker + 10 + i * 3) & 0x0F);
                const std::int64_t columns = std::int64_t((width * h + maxH - 1) / maxH + 7) / 8;
                const std::int64_t rows = std::int64_t((height * v + maxV - 1) / maxV + 7) / 8;
                coefficients += columns * rows * 64 * 2;
            }
        }
        if (code == 0xDA)
            ++scans;
        if (length < 2)
            break;
        at = marker + 1 + length;
    }
    return progressive || scans > 1 ? coefficients : 0;
}

// libjpeg decodes at 1/2, 1/4 or 1/8 of the size; Qt scales the rest of the
// way from there.
QSize jpegDecodedSize(QSize stored, QSize target)
{
    int denominator = 8;
    while (denominator > 1
           && (stored.width() / denominator < target.width() || stored.height() / denominator < target.height()))
        denominator /= 2;
    return QSize((stored.width() + denominator - 1) / denominator, (stored.height() + denominator - 1) / denominator);
}

bool pngIsInterlaced(std::string_view data)
{
    constexpr std::size_t interlaceAt = 28;
    return data.size() > interlaceAt && data[interlaceAt] != 0;
}

/// The size a Qt reader asked for `target` decodes at: JPEG at libjpeg's
/// nearest larger scale, a non-interlaced PNG row by row straight to the
/// target; the others whole.
QSize decodedSizeWhileReducing(ImageFormat format, std::string_view data, QSize stored, QSize target)
{
    if (format == ImageFormat::jpeg)
        return jpegDecodedSize(stored, target);
    if (format == ImageFormat::png && !pngIsInterlaced(data))
        return target;
    return stored;
}

QImage rotated(const QImage& image, qreal degrees)
{
    return image.transformed(QTransform().rotate(degrees));
}

/// Turns pixels stored with EXIF orientation `orientation` upright.
QImage upright(QImage image, int orientation)
{
    switch (orientation) {
    case 2: return std::move(image).mirrored(true, false);
    case 3: return std::move(image).mirrored(true, true);
    case 4: return std::move(image).mirrored(false, true);
    case 5: return rotated(std::move(image).mirrored(false, true), 90);
    case 6: return rotated(image, 90);
    case 7: return rotated(std::move(image).mirrored(true, false), 90);
    case 8: return rotated(image, 270);
    default: return image;
    }
}

QImage reduced(QImage image, QSize target)
{
    if (image.size() == target)
        return image;
    return image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

Expected<ImageCodec::DecodedImage, std::string> decodeHeif(std::string_view encoded,
                                                           const ImageCodec::DecodeOptions& options)
{
    const auto fits = [&options](QSize stored) {
        return !tooLarge(stored)
            && fitsWorkingMemory(bytesFor(stored, heifDecodingBytesPerPixel), stored, 4,
                                 fitted(stored, options.maxPixelSize), false, options);
    };
    auto decoded = HeifCodec::decode(encoded, fits);
    if (!decoded)
        return unexpected(decoded.error());
    ImageCodec::DecodedImage result;
    result.format = ImageFormat::heic;
    // HEVC has no reduced decoding; the full image is reduced at once.
    const QSize target = fitted(decoded->image.size(), options.maxPixelSize);
    result.image = reduced(std::move(decoded->image), target);
    if (options.withMetadata)
        result.metadata = imageMetadataFromExif(decoded->exif);
    return result;
}

Expected<ImageCodec::DecodedImage, std::string> decodeBmpRle(std::string_view encoded,
                                                             const ImageCodec::DecodeOptions& options)
{
    const QSize stored = BmpRleDecoder::storedSize(encoded);
    if (stored.isValid()
        && !fitsWorkingMemory(bytesFor(stored, 4), stored, 4, fitted(stored, options.maxPixelSize), false, options))
        return unexpected(std::string("the image is too large"));
    auto image = BmpRleDecoder::decode(encoded, ImageCodec::maxDecodedPixels);
    if (!image)
        return unexpected(image.error());
    ImageCodec::DecodedImage result;
    result.format = ImageFormat::bmp;
    result.image = reduced(std::move(*image), fitted(image->size(), options.maxPixelSize));
    return result;
}

// Qt composes an animated WebP's first frame on a canvas it clears only when
// the file says it has transparency; a frame smaller than the canvas would
// leave the rest as the allocator handed it over. A copy that says so gets
// the canvas cleared, and the pixels outside the frame come out transparent.
constexpr std::size_t webpFlagsAt = 20;
constexpr unsigned char webpAnimationFlag = 0x02;
constexpr unsigned char webpAlphaFlag = 0x10;

bool isAnimatedWebpWithoutAlpha(std::string_view data)
{
    if (data.size() <= webpFlagsAt || data.substr(12, 4) != "VP8X")
        return false;
    const auto flags = static_cast<unsigned char>(data[webpFlagsAt]);
    return (flags & webpAnimationFlag) && !(flags & webpAlphaFlag);
}

bool isOpaque(const QImage& image)
{
    if (!image.hasAlphaChannel())
        return true;
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x)
            if (qAlpha(line[x]) != 255)
                return false;
    }
    return true;
}

Expected<ImageCodec::DecodedImage, std::string> decodeWithQt(std::string_view encoded, ImageFormat format,
                                                             const ImageCodec::DecodeOptions& options)
{
    if (format == ImageFormat::jpeg && !jpegIsComplete(encoded))
        return unexpected(std::string("the JPEG data ends early"));
    if (format == ImageFormat::gif && !gifFirstFrameIsComplete(encoded))
        return unexpected(std::string("the GIF data ends early"));
    if (format == ImageFormat::bmp && BmpRleDecoder::isRunLengthEncoded(encoded))
        return decodeBmpRle(encoded, options);
    if (format == ImageFormat::bmp && !bmpIsComplete(encoded))
        return unexpected(std::string("the BMP data ends early"));

    std::string clearedCanvas;
    const bool clearsCanvas = format == ImageFormat::webp && isAnimatedWebpWithoutAlpha(encoded);
    if (clearsCanvas) {
        clearedCanvas.assign(encoded);
        clearedCanvas[webpFlagsAt] = static_cast<char>(clearedCanvas[webpFlagsAt] | webpAlphaFlag);
        encoded = clearedCanvas;
    }

    QByteArray bytes = QByteArray::fromRawData(encoded.data(), static_cast<qsizetype>(encoded.size()));
    QBuffer device(&bytes);
    device.open(QIODevice::ReadOnly);
    QImageReader reader(&device, qtFormatName(format));
    reader.setAutoTransform(false);
    reader.setAllocationLimit(qtAllocationLimitMiB);

    // Read first: a quarter turn costs a copy, which the budget counts.
    const ImageHeaderInfo header = readImageHeader(encoded, format, options.withMetadata);
    const QSize stored = reader.size();
    if (stored.isValid()) {
        if (stored.isEmpty())
            return unexpected(std::string("the image has no pixels"));
        const QSize target = fitted(stored, options.maxPixelSize);
        const bool reducesWhileDecoding = target != stored && reader.supportsOption(QImageIOHandler::ScaledSize);
        const QSize decodedSize =
            reducesWhileDecoding ? decodedSizeWhileReducing(format, encoded, stored, target) : stored;
        const std::int64_t pixelBytes = bytesPerPixel(reader.imageFormat(), format);
        const std::int64_t decodingBytes = format == ImageFormat::jpeg
            ? saturatedSum(bytesFor(decodedSize, pixelBytes), jpegCoefficientBytes(encoded))
            : bytesFor(decodedSize, format == ImageFormat::webp ? webpDecodingBytesPerPixel(encoded) : pixelBytes);
        // The stored size, even when reducing: a reduced decode still walks
        // every stored pixel (JPEG reduces eightfold at most), and a header
        // claiming more than the budget is refused as a whole decode refuses it.
        if (tooLarge(stored)
            || !fitsWorkingMemory(decodingBytes, decodedSize, pixelBytes, target, turnsQuarter(header.orientation),
                                  options))
            return unexpected(std::string("the image is too large"));
        if (reducesWhileDecoding)
            reader.setScaledSize(target);
    }

    QImage image;
    if (!reader.read(&image) || image.isNull())
        return unexpected("cannot decode: " + reader.errorString().toStdString());
    if (clearsCanvas && isOpaque(image))
        image = std::move(image).convertToFormat(QImage::Format_RGB32);
    ImageCodec::DecodedImage result;
    result.format = format;
    const QSize target = fitted(stored.isValid() ? stored : image.size(), options.maxPixelSize);
    result.image = upright(reduced(std::move(image), target), header.orientation);
    result.metadata = header.metadata;
    return result;
}

QImage onWhite(const QImage& image)
{
    if (!image.hasAlphaChannel())
        return image;
    QImage opaque(image.size(), QImage::Format_RGB32);
    opaque.fill(Qt::white);
    {
        QPainter painter(&opaque);
        painter.drawImage(0, 0, image);
    }
    opaque.setColorSpace(image.colorSpace());
    opaque.setDotsPerMeterX(image.dotsPerMeterX());
    opaque.setDotsPerMeterY(image.dotsPerMeterY());
    return opaque;
}

// A resolution a damaged file can give (zero, negative after an overflow,
// absurd) makes Qt's TIFF writer fail; about 25 400 dpi is past any scanner.
constexpr int maxDotsPerMeter = 1'000'000;

bool isSaneResolution(int dotsPerMeter)
{
    return dotsPerMeter >= 1 && dotsPerMeter <= maxDotsPerMeter;
}

// Qt's writers copy an image's text entries (PNG text chunks, JPEG comments)
// into the file; a view of the same pixels without them carries nothing over.
// It carries the resolution only when it is sane; otherwise the writer gets a
// new image's, as for a source that never said.
QImage withoutText(const QImage& image)
{
    QImage view(image.constBits(), image.width(), image.height(), image.bytesPerLine(), image.format());
    view.setColorTable(image.colorTable());
    view.setColorSpace(image.colorSpace());
    if (isSaneResolution(image.dotsPerMeterX()) && isSaneResolution(image.dotsPerMeterY())) {
        view.setDotsPerMeterX(image.dotsPerMeterX());
        view.setDotsPerMeterY(image.dotsPerMeterY());
    }
    return view;
}

Expected<std::string, std::string> encodeWithQt(const QImage& image, const ImageCodec::EncodeOptions& options)
{
    const QImage source = options.format == ImageFormat::jpeg ? onWhite(image) : image;
    QBuffer device;
    device.open(QIODevice::WriteOnly);
    std::string encoded;
    if (options.format == ImageFormat::png && PngWriter::writes(source)) {
        auto written = PngWriter::encode(withoutText(source));
        if (!written)
            return unexpected("cannot encode: " + written.error());
        encoded = std::move(*written);
    } else {
        QImageWriter writer(&device, qtFormatName(options.format));
        if (options.format == ImageFormat::jpeg || options.format == ImageFormat::webp)
            writer.setQuality(saturatingRound<int>(clampedOrLower(options.quality, 0, 1) * 100));
        if (options.format == ImageFormat::png)
            writer.setQuality(pngQualityForFastDeflate);
        if (options.format == ImageFormat::tiff)
            writer.setCompression(tiffLzwCompression);
        if (!writer.write(withoutText(source)))
            return unexpected("cannot encode: " + writer.errorString().toStdString());
        encoded.assign(device.data().constData(), static_cast<std::size_t>(device.data().size()));
    }
    if (options.format == ImageFormat::bmp || options.metadata.isEmpty())
        return encoded;
    return embedImageMetadata(encoded, options.metadata, source.width(), source.height());
}

} // namespace

namespace ImageCodec {

Expected<DecodedImage, std::string> decode(std::string_view encoded, const DecodeOptions& options)
{
    if (encoded.empty())
        return unexpected(std::string("the file is empty"));
    const auto format = sniffImageFormat(encoded);
    if (!format)
        return unexpected(std::string("not an image of a known format"));
    if (isHeif(*format))
        return decodeHeif(encoded, options);
    return decodeWithQt(encoded, *format, options);
}

Expected<DecodedImage, std::string> decodeFile(const std::filesystem::path& path, const DecodeOptions& options)
{
    const auto bytes = AtomicFile::read(path, maxFileBytes);
    if (!bytes)
        return unexpected(bytes.error());
    return decode(*bytes, options);
}

Expected<std::string, std::string> encode(QImage image, const EncodeOptions& options)
{
    if (image.isNull())
        return unexpected(std::string("no image to encode"));
    if (isHeif(options.format)) {
        const std::string exif = exifBlockForCopy(options.metadata, image.width(), image.height());
        return HeifCodec::encode(std::move(image), options.quality, exif);
    }
    if (options.format == ImageFormat::gif)
        return GifWriter::encode(image);
    return encodeWithQt(image, options);
}

bool canDecode(ImageFormat format)
{
    if (isHeif(format))
        return HeifCodec::canDecode();
    return QImageReader::supportedImageFormats().contains(qtFormatName(format));
}

bool canEncode(ImageFormat format)
{
    if (isHeif(format))
        return HeifCodec::canEncode();
    if (format == ImageFormat::gif)
        return true;
    return QImageWriter::supportedImageFormats().contains(qtFormatName(format));
}

} // namespace ImageCodec
