#include "Platform/Images/BmpRleDecoder.h"

#include <cstdlib>
#include <optional>
#include <vector>

namespace {

constexpr std::size_t fileHeaderBytes = 14;
constexpr std::uint32_t rle8 = 1;
constexpr std::uint32_t rle4 = 2;

std::uint32_t little(std::string_view data, std::size_t at, int bytes)
{
    std::uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(data[at + static_cast<std::size_t>(i)]);
    return value;
}

// Info headers whose compression field can say RLE: Windows 3 and later
// (40, 52, 56, 108, 124 bytes) and OS/2 2 (64 bytes).
bool hasCompressionField(std::uint32_t headerSize)
{
    return headerSize == 40 || headerSize == 52 || headerSize == 56 || headerSize == 64 || headerSize == 108
        || headerSize == 124;
}

struct Header {
    std::int64_t width = 0;
    std::int64_t height = 0; // negative: rows stored top to bottom
    std::uint32_t bitsPerPixel = 0;
    std::uint32_t compression = 0;
    std::uint32_t pixelOffset = 0;
    std::uint32_t headerSize = 0;
    std::uint32_t colorsUsed = 0;
    std::int32_t dotsPerMeterX = 0;
    std::int32_t dotsPerMeterY = 0;
};

std::optional<Header> readHeader(std::string_view data)
{
    constexpr std::size_t infoFieldsEnd = fileHeaderBytes + 40;
    if (data.size() < infoFieldsEnd || data.substr(0, 2) != "BM")
        return std::nullopt;
    Header header;
    header.headerSize = little(data, 14, 4);
    if (!hasCompressionField(header.headerSize))
        return std::nullopt;
    header.pixelOffset = little(data, 10, 4);
    header.width = static_cast<std::int32_t>(little(data, 18, 4));
    header.height = static_cast<std::int32_t>(little(data, 22, 4));
    header.bitsPerPixel = little(data, 28, 2);
    header.compression = little(data, 30, 4);
    header.dotsPerMeterX = static_cast<std::int32_t>(little(data, 38, 4));
    header.dotsPerMeterY = static_cast<std::int32_t>(little(data, 42, 4));
    header.colorsUsed = little(data, 46, 4);
    return header;
}

} // namespace

namespace BmpRleDecoder {

bool isRunLengthEncoded(std::string_view encoded)
{
    const auto header = readHeader(encoded);
    return header && (header->compression == rle8 || header->compression == rle4);
}

QSize storedSize(std::string_view encoded)
{
    const auto header = readHeader(encoded);
    if (!header || header->width <= 0 || header->height == 0 || header->width > INT32_MAX
        || -header->height > INT32_MAX)
        return {};
    return QSize(static_cast<int>(header->width), static_cast<int>(std::abs(header->height)));
}

Expected<QImage, std::string> decode(std::string_view data, std::int64_t maxPixels)
{
    const auto header = readHeader(data);
    if (!header || (header->compression != rle8 && header->compression != rle4))
        return unexpected(std::string("not a run-length-encoded BMP"));
    const std::uint32_t bits = header->compression == rle8 ? 8 : 4;
    if (header->bitsPerPixel != bits)
        return unexpected(std::string("cannot decode: the BMP's depth does not match its compression"));
    const QSize size = storedSize(data);
    if (!size.isValid() || size.isEmpty())
        return unexpected(std::string("the image has no pixels"));
    const std::int64_t width = size.width();
    const std::int64_t height = size.height();
    if (width * height > maxPixels)
        return unexpected(std::string("the image is too large"));

    // Indices the file's colour table leaves out read as opaque black.
    const std::uint32_t tableSize = 1u << bits;
    const std::uint32_t colors =
        header->colorsUsed == 0 || header->colorsUsed > tableSize ? tableSize : header->colorsUsed;
    const std::size_t tableStart = fileHeaderBytes + header->headerSize;
    if (tableStart + std::size_t(colors) * 4 > data.size() || header->pixelOffset >= data.size())
        return unexpected(std::string("the BMP data ends early"));
    std::vector<QRgb> palette(tableSize, qRgb(0, 0, 0));
    for (std::uint32_t i = 0; i < colors; ++i) {
        const std::size_t at = tableStart + std::size_t(i) * 4;
        palette[i] = qRgb(static_cast<unsigned char>(data[at + 2]), static_cast<unsigned char>(data[at + 1]),
                          static_cast<unsigned char>(data[at]));
    }

    QImage image(size, QImage::Format_ARGB32);
    if (image.isNull())
        return unexpected(std::string("cannot hold the decoded pixels"));
    image.fill(Qt::transparent);
    const bool bottomUp = header->height > 0;
    std::int64_t x = 0;
    std::int64_t row = 0; // in the order the file stores rows
    std::int64_t written = 0;
    const auto put = [&](unsigned index) {
        if (x < width && row < height) {
            const int line = static_cast<int>(bottomUp ? height - 1 - row : row);
            reinterpret_cast<QRgb*>(image.scanLine(line))[x] = palette[index];
            ++written;
        }
        ++x;
    };
    const auto byteAt = [&data](std::size_t at) { return static_cast<unsigned char>(data[at]); };
    const auto indexAt = [&](std::size_t start, std::size_t i) -> unsigned {
        if (bits == 8)
            return byteAt(start + i);
        const unsigned pair = byteAt(start + i / 2);
        return i % 2 == 0 ? pair >> 4 : pair & 0x0F;
    };

    // Each step consumes at least two bytes, so the walk always ends.
    std::size_t at = header->pixelOffset;
    bool ended = false;
    while (!ended && row < height) {
        if (at + 2 > data.size())
            break;
        const unsigned count = byteAt(at);
        const unsigned code = byteAt(at + 1);
        at += 2;
        if (count > 0) {
            for (unsigned i = 0; i < count; ++i)
                put(bits == 8 ? code : (i % 2 == 0 ? code >> 4 : code & 0x0F));
            continue;
        }
        switch (code) {
        case 0: // end of line
            x = 0;
            ++row;
            break;
        case 1: // end of image
            ended = true;
            break;
        case 2: // move right and up
            if (at + 2 > data.size()) {
                at = data.size();
                break;
            }
            x += byteAt(at);
            row += byteAt(at + 1);
            at += 2;
            break;
        default: { // `code` literal indices, padded to a whole 16-bit word
            const std::size_t bytes = bits == 8 ? code : (code + 1) / 2;
            const std::size_t padded = (bytes + 1) & ~std::size_t(1);
            if (at + padded > data.size()) {
                at = data.size();
                break;
            }
            for (unsigned i = 0; i < code; ++i)
                put(indexAt(at, i));
            at += padded;
            break;
        }
        }
    }
    const bool complete = written == width * height;
    if (!ended && row < height && !complete)
        return unexpected(std::string("the BMP data ends early"));

    if (complete)
        image = std::move(image).convertToFormat(QImage::Format_RGB32);
    if (header->dotsPerMeterX > 0 && header->dotsPerMeterY > 0) {
        image.setDotsPerMeterX(header->dotsPerMeterX);
        image.setDotsPerMeterY(header->dotsPerMeterY);
    }
    return image;
}

} // namespace BmpRleDecoder
