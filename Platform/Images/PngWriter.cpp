#include "Platform/Images/PngWriter.h"

#include <QColorSpace>

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

namespace {

// Level 1 with every row "up"-filtered: on photos as small as the adaptive
// filters at the default level, at a fraction of the time.
constexpr int deflateLevel = 1;
constexpr unsigned char upFilter = 2;
// Bands of about this many filtered bytes: enough of them to keep the cores
// busy, each large enough that priming it costs nothing worth measuring.
constexpr std::size_t bandBytes = 1 << 20;
constexpr std::size_t windowBytes = 32 * 1024;
constexpr int maxThreads = 16;

void putUint32(std::string& out, std::uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

void putChunk(std::string& out, const char (&type)[5], std::string_view data)
{
    putUint32(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t typeAt = out.size();
    out.append(type, 4);
    out.append(data);
    const auto* checked = reinterpret_cast<const Bytef*>(out.data() + typeAt);
    putUint32(out, static_cast<std::uint32_t>(crc32(0, checked, static_cast<uInt>(4 + data.size()))));
}

class Picture {
public:
    explicit Picture(const QImage& image)
        : m_image(image)
        , m_alpha(image.hasAlphaChannel())
        , m_channels(m_alpha ? 4 : 3)
    {}

    int width() const { return m_image.width(); }
    int height() const { return m_image.height(); }
    bool hasAlpha() const { return m_alpha; }
    std::size_t rowBytes() const { return std::size_t(width()) * std::size_t(m_channels); }
    /// A filtered row: its filter byte, then its bytes.
    std::size_t filteredRowBytes() const { return rowBytes() + 1; }

    /// Appends rows [first, last) filtered, as they go into the stream.
    void appendFiltered(int first, int last, std::vector<unsigned char>& out) const
    {
        std::vector<unsigned char> above(rowBytes(), 0);
        std::vector<unsigned char> row(rowBytes());
        if (first > 0)
            pack(first - 1, above.data());
        const std::size_t start = out.size();
        out.resize(start + filteredRowBytes() * std::size_t(std::max(last - first, 0)));
        unsigned char* to = out.data() + start;
        for (int y = first; y < last; ++y) {
            pack(y, row.data());
            *to++ = upFilter;
            const unsigned char* current = row.data();
            const unsigned char* previous = above.data();
            for (std::size_t i = 0, n = row.size(); i < n; ++i)
                to[i] = static_cast<unsigned char>(current[i] - previous[i]);
            to += row.size();
            above.swap(row);
        }
    }

private:
    void pack(int y, unsigned char* out) const
    {
        const auto* pixels = reinterpret_cast<const QRgb*>(m_image.constScanLine(y));
        for (int x = 0; x < width(); ++x) {
            const QRgb pixel = pixels[x];
            *out++ = static_cast<unsigned char>(qRed(pixel));
            *out++ = static_cast<unsigned char>(qGreen(pixel));
            *out++ = static_cast<unsigned char>(qBlue(pixel));
            if (m_alpha)
                *out++ = static_cast<unsigned char>(qAlpha(pixel));
        }
    }

    const QImage& m_image;
    bool m_alpha;
    int m_channels;
};

struct Band {
    int first = 0;
    int last = 0;
    std::string deflated;
    uLong adler = 1;
    std::size_t filteredBytes = 0;
    bool failed = false;
};

/// Deflates one band as a piece of a stream: primed with the bytes before it,
/// ended on a byte boundary (the last band ends the stream).
void deflateBand(const Picture& picture, Band& band, bool isLast)
{
    std::vector<unsigned char> filtered;
    const std::size_t rowBytes = picture.filteredRowBytes();
    const int primingRows = band.first == 0 ? 0 : std::min<int>(band.first, int((windowBytes + rowBytes - 1) / rowBytes));
    picture.appendFiltered(band.first - primingRows, band.last, filtered);
    const std::size_t primingBytes = rowBytes * std::size_t(primingRows);
    const unsigned char* data = filtered.data() + primingBytes;
    band.filteredBytes = filtered.size() - primingBytes;
    band.adler = adler32(1, data, static_cast<uInt>(band.filteredBytes));

    z_stream stream{};
    if (deflateInit2(&stream, deflateLevel, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        band.failed = true;
        return;
    }
    if (primingBytes > 0) {
        const std::size_t dictionary = std::min(primingBytes, windowBytes);
        deflateSetDictionary(&stream, filtered.data() + primingBytes - dictionary, static_cast<uInt>(dictionary));
    }
    band.deflated.resize(deflateBound(&stream, static_cast<uLong>(band.filteredBytes)) + 16);
    stream.next_in = const_cast<Bytef*>(data);
    stream.avail_in = static_cast<uInt>(band.filteredBytes);
    stream.next_out = reinterpret_cast<Bytef*>(band.deflated.data());
    stream.avail_out = static_cast<uInt>(band.deflated.size());
    const int result = deflate(&stream, isLast ? Z_FINISH : Z_SYNC_FLUSH);
    band.failed = isLast ? result != Z_STREAM_END : (result != Z_OK || stream.avail_in != 0);
    band.deflated.resize(stream.total_out);
    deflateEnd(&stream);
}

std::string physicalSize(const QImage& image)
{
    std::string data;
    putUint32(data, static_cast<std::uint32_t>(std::max(image.dotsPerMeterX(), 0)));
    putUint32(data, static_cast<std::uint32_t>(std::max(image.dotsPerMeterY(), 0)));
    data.push_back(1); // metres
    return data;
}

/// The colour space as an ICC profile chunk, named as Qt's writer names it.
std::string colourProfile(const QColorSpace& colourSpace)
{
    const QByteArray profile = colourSpace.iccProfile();
    if (profile.isEmpty())
        return {};
    QByteArray name = colourSpace.description().toLatin1().left(79).trimmed();
    name.replace('\0', ' ');
    if (name.isEmpty())
        name = "Custom";
    uLongf packedSize = compressBound(static_cast<uLong>(profile.size()));
    std::string packed(packedSize, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
                  reinterpret_cast<const Bytef*>(profile.constData()), static_cast<uLong>(profile.size()),
                  Z_BEST_COMPRESSION)
        != Z_OK)
        return {};
    packed.resize(packedSize);
    std::string data(name.constData(), static_cast<std::size_t>(name.size()));
    data.push_back('\0');
    data.push_back('\0'); // deflate
    return data + packed;
}

} // namespace

namespace PngWriter {

bool writes(const QImage& image)
{
    if (image.isNull() || image.isGrayscale() || image.depth() > 32 || image.format() == QImage::Format_Indexed8
        || image.format() == QImage::Format_Mono || image.format() == QImage::Format_MonoLSB)
        return false;
    return true;
}

Expected<std::string, std::string> encode(const QImage& image, int threads)
{
    if (!writes(image))
        return unexpected(std::string("cannot encode this pixel format as PNG here"));
    // Straight 8-bit pixels: a picture in another layout is read through one copy.
    const QImage::Format layout = image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32;
    const QImage source = image.format() == layout ? image : image.convertToFormat(layout);
    if (source.isNull())
        return unexpected(std::string("not enough memory to encode"));
    const Picture picture(source);

    const int rowsPerBand = std::max<int>(1, int(bandBytes / picture.filteredRowBytes()));
    std::vector<Band> bands;
    for (int first = 0; first < picture.height(); first += rowsPerBand) {
        Band& band = bands.emplace_back();
        band.first = first;
        band.last = std::min(picture.height(), first + rowsPerBand);
    }

    if (threads <= 0)
        threads = int(std::thread::hardware_concurrency());
    threads = std::clamp(threads, 1, std::min<int>(maxThreads, int(bands.size())));
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (std::size_t i = next++; i < bands.size(); i = next++)
            deflateBand(picture, bands[i], i + 1 == bands.size());
    };
    {
        std::vector<std::jthread> helpers;
        for (int i = 1; i < threads; ++i)
            helpers.emplace_back(work);
        work();
    }
    if (std::any_of(bands.begin(), bands.end(), [](const Band& band) { return band.failed; }))
        return unexpected(std::string("cannot compress the picture"));

    std::string out("\x89PNG\r\n\x1a\n", 8);
    std::string header;
    putUint32(header, static_cast<std::uint32_t>(picture.width()));
    putUint32(header, static_cast<std::uint32_t>(picture.height()));
    header += std::string{8, static_cast<char>(picture.hasAlpha() ? 6 : 2), 0, 0, 0};
    putChunk(out, "IHDR", header);
    if (image.colorSpace().isValid())
        if (const std::string profile = colourProfile(image.colorSpace()); !profile.empty())
            putChunk(out, "iCCP", profile);
    if (image.dotsPerMeterX() > 0 || image.dotsPerMeterY() > 0)
        putChunk(out, "pHYs", physicalSize(image));

    uLong adler = 1;
    for (std::size_t i = 0; i < bands.size(); ++i) {
        std::string data;
        if (i == 0)
            data = "\x78\x01"; // zlib header: deflate, 32 KiB window, fastest
        data += bands[i].deflated;
        adler = adler32_combine(adler, bands[i].adler, static_cast<z_off_t>(bands[i].filteredBytes));
        if (i + 1 == bands.size())
            putUint32(data, static_cast<std::uint32_t>(adler));
        putChunk(out, "IDAT", data);
    }
    putChunk(out, "IEND", {});
    return out;
}

} // namespace PngWriter
