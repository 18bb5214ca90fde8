#pragma once
// Generated image fixtures for the codec and pipeline tests: quadrant images
// whose corners show which way is up, stored with any EXIF orientation, with
// or without GPS, in any of the formats. Header-only: programs that include it
// link Platform (Qt Gui, exiv2, libheif).

#include <QBuffer>
#include <QColor>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <exiv2/exiv2.hpp>
#include <libheif/heif.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace fixtures {

inline const QColor topLeft{220, 30, 30};
inline const QColor topRight{30, 200, 40};
inline const QColor bottomLeft{30, 40, 220};
inline const QColor bottomRight{240, 220, 30};

/// Four solid quadrants as seen upright: red, green / blue, yellow.
inline QImage quadrants(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    const int midX = width / 2;
    const int midY = height / 2;
    painter.fillRect(0, 0, midX, midY, topLeft);
    painter.fillRect(midX, 0, width - midX, midY, topRight);
    painter.fillRect(0, midY, midX, height - midY, bottomLeft);
    painter.fillRect(midX, midY, width - midX, height - midY, bottomRight);
    return image;
}

/// The pixels a camera stores for the upright image `display` when it tags
/// them with EXIF `orientation`, written out from the tag's definition.
inline QImage storedFor(const QImage& display, int orientation)
{
    const QImage source = display.convertToFormat(QImage::Format_RGB32);
    const int w = source.width();
    const int h = source.height();
    const bool swaps = orientation >= 5;
    QImage stored(swaps ? h : w, swaps ? w : h, QImage::Format_RGB32);
    for (int y = 0; y < stored.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(stored.scanLine(y));
        for (int x = 0; x < stored.width(); ++x) {
            int dx = x, dy = y;
            switch (orientation) {
            case 2: dx = w - 1 - x; break;
            case 3: dx = w - 1 - x; dy = h - 1 - y; break;
            case 4: dy = h - 1 - y; break;
            case 5: dx = y; dy = x; break;
            case 6: dx = w - 1 - y; dy = x; break;
            case 7: dx = w - 1 - y; dy = h - 1 - x; break;
            case 8: dx = y; dy = h - 1 - x; break;
            default: break;
            }
            line[x] = reinterpret_cast<const QRgb*>(source.constScanLine(dy))[dx];
        }
    }
    return stored;
}

/// `image` encoded by Qt's writer for `format` ("jpeg", "png", ...).
inline std::string encoded(const QImage& image, const char* format, int quality = -1)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    if (!writer.write(image))
        std::abort();
    return buffer.data().toStdString();
}

struct Tags {
    int orientation = 0; // 0: no orientation tag
    bool gps = false;
    bool camera = false; // Make, Model and an exposure time
    bool iptc = false;   // a caption
};

inline Exiv2::ExifData exifFor(const Tags& tags)
{
    Exiv2::ExifData exif;
    if (tags.orientation)
        exif["Exif.Image.Orientation"] = static_cast<std::uint16_t>(tags.orientation);
    if (tags.camera) {
        exif["Exif.Image.Make"] = "Vude Test Camera";
        exif["Exif.Image.Model"] = "Model 1";
        exif["Exif.Photo.ExposureTime"] = Exiv2::URational(1, 125);
        exif["Exif.Photo.PixelXDimension"] = static_cast<std::uint32_t>(9999);
    }
    if (tags.gps) {
        exif["Exif.GPSInfo.GPSLatitudeRef"] = "N";
        exif["Exif.GPSInfo.GPSLatitude"] = "48/1 51/1 2964/100";
        exif["Exif.GPSInfo.GPSLongitudeRef"] = "E";
        exif["Exif.GPSInfo.GPSLongitude"] = "2/1 17/1 4010/100";
    }
    return exif;
}

/// Encoded image bytes with the EXIF (and IPTC) `tags` added by exiv2.
inline std::string tagged(const std::string& bytes, const Tags& tags)
{
    auto image = Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(bytes.data()), static_cast<long>(bytes.size()));
    image->readMetadata();
    image->setExifData(exifFor(tags));
    if (tags.iptc) {
        Exiv2::IptcData iptc;
        iptc["Iptc.Application2.Caption"] = "A caption that must not leak";
        image->setIptcData(iptc);
    }
    image->writeMetadata();
    Exiv2::BasicIo& io = image->io();
    io.open();
    const Exiv2::DataBuf out = io.read(io.size());
    io.close();
    return std::string(reinterpret_cast<const char*>(out.pData_), static_cast<std::size_t>(out.size_));
}

/// A HEIC of the upright image `display`, stored rotated by the container's
/// own transform for `orientation` 1, 3, 6 or 8, with an EXIF block that
/// repeats that orientation (as phones write both) when `exifToo`.
inline std::string heic(const QImage& display, int orientation = 1, bool exifToo = false, bool gps = false)
{
    const QImage stored = storedFor(display, orientation).convertToFormat(QImage::Format_RGB888);
    heif_context* context = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    heif_context_get_encoder_for_format(context, heif_compression_HEVC, &encoder);
    heif_encoder_set_lossy_quality(encoder, 90);
    heif_image* image = nullptr;
    heif_image_create(stored.width(), stored.height(), heif_colorspace_RGB, heif_chroma_interleaved_RGB, &image);
    heif_image_add_plane(image, heif_channel_interleaved, stored.width(), stored.height(), 8);
    int stride = 0;
    std::uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
    for (int y = 0; y < stored.height(); ++y)
        std::memcpy(plane + y * stride, stored.constScanLine(y), static_cast<std::size_t>(stored.width()) * 3);
    heif_encoding_options* options = heif_encoding_options_alloc();
    options->image_orientation = static_cast<heif_orientation>(orientation);
    heif_image_handle* handle = nullptr;
    if (heif_context_encode_image(context, image, encoder, options, &handle).code != heif_error_Ok)
        std::abort();
    if (exifToo || gps) {
        Exiv2::Blob blob;
        Exiv2::ExifParser::encode(blob, Exiv2::littleEndian, exifFor(Tags{exifToo ? orientation : 0, gps, true, false}));
        heif_context_add_exif_metadata(context, handle, blob.data(), static_cast<int>(blob.size()));
    }
    std::string bytes;
    heif_writer writer{1, [](heif_context*, const void* data, size_t size, void* out) {
                           static_cast<std::string*>(out)->append(static_cast<const char*>(data), size);
                           return heif_error{heif_error_Ok, heif_suberror_Unspecified, "Success"};
                       }};
    heif_context_write(context, &writer, &bytes);
    heif_encoding_options_free(options);
    heif_image_handle_release(handle);
    heif_image_release(image);
    heif_encoder_release(encoder);
    heif_context_free(context);
    return bytes;
}

/// A 10-bit 4:2:0 HEIC of `width` x `height`: a dark left half and a bright
/// right half, the top reddish and the bottom bluish.
inline std::string heicTenBit(int width, int height)
{
    heif_context* context = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    heif_context_get_encoder_for_format(context, heif_compression_HEVC, &encoder);
    heif_image* image = nullptr;
    heif_image_create(width, height, heif_colorspace_YCbCr, heif_chroma_420, &image);
    const heif_channel channels[] = {heif_channel_Y, heif_channel_Cb, heif_channel_Cr};
    for (int channel = 0; channel < 3; ++channel) {
        const int planeWidth = channel ? width / 2 : width;
        const int planeHeight = channel ? height / 2 : height;
        heif_image_add_plane(image, channels[channel], planeWidth, planeHeight, 10);
        int stride = 0;
        std::uint8_t* plane = heif_image_get_plane(image, channels[channel], &stride);
        for (int y = 0; y < planeHeight; ++y)
            for (int x = 0; x < planeWidth; ++x) {
                const bool top = y < planeHeight / 2;
                const std::uint16_t value = channel == 0 ? (x < planeWidth / 2 ? 200 : 800)
                    : channel == 1                        ? (top ? 400 : 700)
                                                          : (top ? 700 : 400);
                std::memcpy(plane + y * stride + x * 2, &value, 2);
            }
    }
    heif_image_handle* handle = nullptr;
    if (heif_context_encode_image(context, image, encoder, nullptr, &handle).code != heif_error_Ok)
        std::abort();
    std::string bytes;
    heif_writer writer{1, [](heif_context*, const void* data, size_t size, void* out) {
                           static_cast<std::string*>(out)->append(static_cast<const char*>(data), size);
                           return heif_error{heif_error_Ok, heif_suberror_Unspecified, "Success"};
                       }};
    heif_context_write(context, &writer, &bytes);
    heif_image_handle_release(handle);
    heif_image_release(image);
    heif_encoder_release(encoder);
    heif_context_free(context);
    return bytes;
}

/// Little-endian bytes of `value`.
inline std::string littleEndian(std::uint32_t value, int bytes)
{
    std::string out;
    for (int i = 0; i < bytes; ++i, value >>= 8)
        out.push_back(static_cast<char>(value & 0xFF));
    return out;
}

/// Pieces of a run-length-encoded BMP's pixel data. Rows run bottom up.
namespace rle {
inline std::string run(int count, int indices) { return {char(count), char(indices)}; }
inline std::string endOfLine() { return std::string("\0\0", 2); }
inline std::string endOfImage() { return std::string("\0\1", 2); }
inline std::string delta(int right, int up) { return std::string("\0\2", 2) + char(right) + char(up); }
/// `count` literal pixels in `bytes` (two to a byte at 4 bits), padded to a
/// 16-bit word.
inline std::string literal(int count, std::string bytes)
{
    if (bytes.size() % 2)
        bytes.push_back('\0');
    return std::string(1, '\0') + char(count) + bytes;
}
} // namespace rle

/// A BMP with `bits` (8 or 4) run-length-encoded pixels, the `palette`
/// colours and the pixel data `stream`.
inline std::string rleBmp(int bits, int width, int height, const std::vector<QRgb>& palette, const std::string& stream)
{
    std::string table;
    for (const QRgb color : palette)
        table += std::string{char(qBlue(color)), char(qGreen(color)), char(qRed(color)), '\0'};
    const std::uint32_t pixelOffset = 14 + 40 + static_cast<std::uint32_t>(table.size());
    const std::uint32_t fileSize = pixelOffset + static_cast<std::uint32_t>(stream.size());
    std::string bmp = "BM" + littleEndian(fileSize, 4) + littleEndian(0, 4) + littleEndian(pixelOffset, 4);
    bmp += littleEndian(40, 4) + littleEndian(static_cast<std::uint32_t>(width), 4)
        + littleEndian(static_cast<std::uint32_t>(height), 4) + littleEndian(1, 2)
        + littleEndian(static_cast<std::uint32_t>(bits), 2) + littleEndian(bits == 8 ? 1 : 2, 4)
        + littleEndian(static_cast<std::uint32_t>(stream.size()), 4) + littleEndian(2835, 4) + littleEndian(2835, 4)
        + littleEndian(static_cast<std::uint32_t>(palette.size()), 4) + littleEndian(0, 4);
    return bmp + table + stream;
}

/// An animated WebP whose canvas is `canvas` and whose first frame is the
/// still WebP `still` placed at `at` (even coordinates). `saysAlpha` sets the
/// canvas's transparency flag.
inline std::string animatedWebp(const std::string& still, QSize canvas, QPoint at, QSize frame, bool saysAlpha)
{
    const std::string frameData = still.substr(12); // its VP8 or VP8L chunk
    const auto chunk = [](const std::string& tag, std::string payload) {
        const auto size = static_cast<std::uint32_t>(payload.size());
        if (payload.size() % 2)
            payload.push_back('\0');
        return tag + littleEndian(size, 4) + payload;
    };
    const std::string header = std::string(1, char(0x02 | (saysAlpha ? 0x10 : 0))) + std::string(3, '\0')
        + littleEndian(static_cast<std::uint32_t>(canvas.width() - 1), 3)
        + littleEndian(static_cast<std::uint32_t>(canvas.height() - 1), 3);
    const std::string animation = littleEndian(0xFF000000u, 4) + littleEndian(0, 2);
    const std::string placement = littleEndian(static_cast<std::uint32_t>(at.x() / 2), 3)
        + littleEndian(static_cast<std::uint32_t>(at.y() / 2), 3)
        + littleEndian(static_cast<std::uint32_t>(frame.width() - 1), 3)
        + littleEndian(static_cast<std::uint32_t>(frame.height() - 1), 3) + littleEndian(100, 3) + std::string(1, '\0');
    const std::string body = "WEBP" + chunk("VP8X", header) + chunk("ANIM", animation) + chunk("ANMF", placement + frameData);
    return "RIFF" + littleEndian(static_cast<std::uint32_t>(body.size()), 4) + body;
}

/// The little-endian TIFF `tiff` with its horizontal and vertical resolutions
/// made the eight bytes `value` of TIFF type `type` (5: rational, 10: signed
/// rational, 12: double), as a damaged or crafted file may have them.
inline std::string withResolution(std::string tiff, int type, const std::string& value)
{
    if (tiff.substr(0, 4) != std::string("II*\0", 4) || value.size() != 8)
        std::abort();
    const auto little = [&tiff](std::size_t at, int bytes) {
        std::uint32_t number = 0;
        for (int i = bytes - 1; i >= 0; --i)
            number = (number << 8) | static_cast<unsigned char>(tiff[at + static_cast<std::size_t>(i)]);
        return number;
    };
    const std::size_t directory = little(4, 4);
    const std::size_t entries = little(directory, 2);
    for (std::size_t i = 0; i < entries; ++i) {
        const std::size_t entry = directory + 2 + i * 12;
        const auto tag = little(entry, 2);
        if (tag != 282 && tag != 283)
            continue;
        tiff.replace(entry + 2, 2, littleEndian(static_cast<std::uint32_t>(type), 2));
        tiff.replace(little(entry + 8, 4), 8, value);
    }
    return tiff;
}

/// A TIFF of `image` with the resolution `value` of type `type`.
inline std::string tiffWithResolution(const QImage& image, int type, const std::string& value)
{
    return withResolution(encoded(image, "tiff"), type, value);
}

inline std::string rational(std::uint32_t numerator, std::uint32_t denominator)
{
    return littleEndian(numerator, 4) + littleEndian(denominator, 4);
}

inline std::string doubleBytes(double value)
{
    std::string bytes(8, '\0');
    std::memcpy(bytes.data(), &value, 8);
    return bytes;
}

/// The HEIC `bytes` with its coded picture cut after `keptFraction` of its
/// bytes and the container's lengths made to agree: the file is well formed,
/// but the decoder runs out of data partway through the picture.
inline std::string withShortenedPicture(std::string bytes, double keptFraction)
{
    const auto byteAt = [&bytes](std::size_t at) { return static_cast<unsigned char>(bytes[at]); };
    const auto readNumber = [&](std::size_t at, int size) {
        std::uint64_t value = 0;
        for (int i = 0; i < size; ++i)
            value = (value << 8) | byteAt(at + static_cast<std::size_t>(i));
        return value;
    };
    const auto writeNumber = [&](std::size_t at, int size, std::uint64_t value) {
        for (int i = size - 1; i >= 0; --i, value >>= 8)
            bytes[at + static_cast<std::size_t>(i)] = static_cast<char>(value & 0xFF);
    };
    const std::size_t iloc = bytes.find("iloc");
    if (iloc == std::string::npos)
        std::abort();
    std::size_t at = iloc + 4;
    const int version = byteAt(at);
    at += 4;
    const int offsetSize = byteAt(at) >> 4, lengthSize = byteAt(at) & 0x0F;
    const int baseOffsetSize = byteAt(at + 1) >> 4, indexSize = version >= 1 ? (byteAt(at + 1) & 0x0F) : 0;
    at += 2;
    const int idSize = version < 2 ? 2 : 4;
    const std::uint64_t items = readNumber(at, idSize);
    at += static_cast<std::size_t>(idSize);
    // The picture is the longest extent stored in the file itself.
    std::size_t lengthAt = 0;
    std::uint64_t pictureStart = 0, pictureLength = 0;
    for (std::uint64_t item = 0; item < items; ++item) {
        at += static_cast<std::size_t>(idSize);
        int method = 0;
        if (version >= 1) {
            method = byteAt(at + 1) & 0x0F;
            at += 2;
        }
        at += 2; // data reference index
        const std::uint64_t base = readNumber(at, baseOffsetSize);
        at += static_cast<std::size_t>(baseOffsetSize);
        const std::uint64_t extents = readNumber(at, 2);
        at += 2;
        for (std::uint64_t extent = 0; extent < extents; ++extent) {
            at += static_cast<std::size_t>(indexSize);
            const std::uint64_t offset = readNumber(at, offsetSize);
            at += static_cast<std::size_t>(offsetSize);
            const std::uint64_t length = readNumber(at, lengthSize);
            if (method == 0 && length > pictureLength) {
                pictureStart = base + offset;
                pictureLength = length;
                lengthAt = at;
            }
            at += static_cast<std::size_t>(lengthSize);
        }
    }
    // The picture is one slice after its four-byte length.
    const auto sliceLength = readNumber(pictureStart, 4);
    const auto kept = static_cast<std::uint64_t>(double(sliceLength) * keptFraction);
    writeNumber(pictureStart, 4, kept);
    writeNumber(lengthAt, lengthSize, 4 + kept);
    return bytes;
}

inline void writeFile(const std::filesystem::path& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

/// The EXIF and IPTC an encoded file carries, as exiv2 reads them.
struct ReadTags {
    Exiv2::ExifData exif;
    Exiv2::IptcData iptc;
};

inline ReadTags tagsOf(const std::filesystem::path& path)
{
    auto image = Exiv2::ImageFactory::open(path.string());
    image->readMetadata();
    return ReadTags{image->exifData(), image->iptcData()};
}

inline bool has(const Exiv2::ExifData& exif, const char* key)
{
    return exif.findKey(Exiv2::ExifKey(key)) != exif.end();
}

/// Whether `actual` is within `tolerance` of `expected` in every channel.
inline bool near(QRgb actual, const QColor& expected, int tolerance = 40)
{
    return std::abs(qRed(actual) - expected.red()) <= tolerance && std::abs(qGreen(actual) - expected.green()) <= tolerance
        && std::abs(qBlue(actual) - expected.blue()) <= tolerance;
}

/// Whether `image` shows the four quadrants upright.
inline bool showsQuadrantsUpright(const QImage& image)
{
    const int w = image.width();
    const int h = image.height();
    return near(image.pixel(w / 4, h / 4), topLeft) && near(image.pixel(3 * w / 4, h / 4), topRight)
        && near(image.pixel(w / 4, 3 * h / 4), bottomLeft) && near(image.pixel(3 * w / 4, 3 * h / 4), bottomRight);
}

} // namespace fixtures
