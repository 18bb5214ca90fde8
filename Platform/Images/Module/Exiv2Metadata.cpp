#include "Platform/Images/Module/ImageLibraryCode.h"

#include <exiv2/exiv2.hpp>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <mutex>

namespace {

// Exiv2 keeps a process-wide log level and XMP toolkit; set both up once,
// before the first use from any thread.
void prepareExiv2()
{
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::XmpParser::initialize();
    });
}

const Exiv2::byte* asBytes(std::string_view bytes)
{
    return reinterpret_cast<const Exiv2::byte*>(bytes.data());
}

// Tags of the primary image directory that describe how its pixels were
// stored, or that hold other metadata blocks; none of them is true of a copy.
constexpr std::uint16_t layoutTags[] = {
    0x00FE, 0x00FF, 0x0100, 0x0101, 0x0102, 0x0103, 0x0106, 0x010A, 0x0111, 0x0112, 0x0115,
    0x0116, 0x0117, 0x011C, 0x013D, 0x0142, 0x0143, 0x0144, 0x0145, 0x014A, 0x0152, 0x0153,
    0x015B, 0x0201, 0x0202, 0x0212, 0x02BC, 0x83BB, 0x8649, 0x8769, 0x8773, 0x8825, 0xC612,
};
constexpr std::uint16_t makerNoteTag = 0x927C;
constexpr std::uint16_t interoperabilityPointerTag = 0xA005;

constexpr std::uint16_t xResolutionTag = 0x011A;
constexpr std::uint16_t yResolutionTag = 0x011B;
// Dots per inch or per centimetre; past this no scanner goes.
constexpr float maxResolution = 100000;

// A damaged file's resolution (zero, negative, not a number, absurd) would
// follow into the copy, where writers and readers choke on it.
bool isSaneResolution(const Exiv2::Exifdatum& datum)
{
    if (datum.count() != 1)
        return false;
    const float value = datum.toFloat(0);
    return std::isfinite(value) && value > 0 && value <= maxResolution;
}

bool copyKeeps(const Exiv2::Exifdatum& datum)
{
    const std::string group = datum.groupName();
    if (group == "Image" && (datum.tag() == xResolutionTag || datum.tag() == yResolutionTag))
        return isSaneResolution(datum);
    if (group == "GPSInfo" || group == "Iop")
        return true;
    if (group == "Photo")
        return datum.tag() != makerNoteTag && datum.tag() != interoperabilityPointerTag;
    if (group == "Image")
        return std::ranges::find(layoutTags, datum.tag()) == std::ranges::end(layoutTags);
    // Thumbnails, sub-images and maker notes.
    return false;
}

std::string encodeExif(const Exiv2::ExifData& exif, Exiv2::ByteOrder order)
{
    if (exif.empty())
        return {};
    Exiv2::Blob blob;
    Exiv2::ExifParser::encode(blob, order == Exiv2::invalidByteOrder ? Exiv2::littleEndian : order, exif);
    return std::string(blob.begin(), blob.end());
}

ImageMetadata keptMetadata(Exiv2::ExifData exif, const Exiv2::IptcData& iptc, Exiv2::ByteOrder order)
{
    for (auto datum = exif.begin(); datum != exif.end();)
        datum = copyKeeps(*datum) ? std::next(datum) : exif.erase(datum);
    ImageMetadata metadata;
    metadata.exif = encodeExif(exif, order);
    if (!iptc.empty()) {
        const Exiv2::DataBuf records = Exiv2::IptcParser::encode(iptc);
        metadata.iptc.assign(reinterpret_cast<const char*>(records.pData_), static_cast<std::size_t>(records.size_));
    }
    return metadata;
}

int orientationOf(const Exiv2::ExifData& exif)
{
    const auto datum = exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
    if (datum == exif.end() || datum->count() == 0)
        return 1;
    const long value = datum->toLong();
    return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
}

bool exiv2Reads(ImageFormat format)
{
    return format == ImageFormat::jpeg || format == ImageFormat::png || format == ImageFormat::tiff
        || format == ImageFormat::webp;
}

} // namespace

namespace Exiv2Metadata {

ImageHeaderInfo readImageHeader(std::string_view encoded, ImageFormat format, bool wantMetadata)
{
    ImageHeaderInfo info;
    if (!exiv2Reads(format) || encoded.empty())
        return info;
    prepareExiv2();
    try {
        auto image = Exiv2::ImageFactory::open(asBytes(encoded), static_cast<long>(encoded.size()));
        if (!image.get())
            return info;
        image->readMetadata();
        info.orientation = orientationOf(image->exifData());
        if (wantMetadata)
            info.metadata = keptMetadata(image->exifData(), image->iptcData(), image->byteOrder());
    } catch (...) {
        // Damaged metadata is no reason to refuse the pixels.
        return ImageHeaderInfo{};
    }
    return info;
}

ImageMetadata imageMetadataFromExif(std::string_view exifBlock)
{
    if (exifBlock.size() < 8)
        return {};
    prepareExiv2();
    try {
        Exiv2::ExifData exif;
        const auto order = Exiv2::ExifParser::decode(exif, asBytes(exifBlock), static_cast<std::uint32_t>(exifBlock.size()));
        return keptMetadata(std::move(exif), Exiv2::IptcData(), order);
    } catch (...) {
        return {};
    }
}

std::string exifBlockForCopy(const ImageMetadata& metadata, int width, int height)
{
    if (metadata.exif.empty())
        return {};
    prepareExiv2();
    try {
        Exiv2::ExifData exif;
        const auto order = Exiv2::ExifParser::decode(exif, asBytes(metadata.exif),
                                                     static_cast<std::uint32_t>(metadata.exif.size()));
        exif["Exif.Image.Orientation"] = static_cast<std::uint16_t>(1);
        const auto updateDimension = [&exif](const char* key, int value) {
            if (exif.findKey(Exiv2::ExifKey(key)) != exif.end())
                exif[key] = static_cast<std::uint32_t>(value);
        };
        updateDimension("Exif.Photo.PixelXDimension", width);
        updateDimension("Exif.Photo.PixelYDimension", height);
        return encodeExif(exif, order);
    } catch (...) {
        return {};
    }
}

Expected<std::string, std::string> embedImageMetadata(std::string_view encoded, const ImageMetadata& metadata,
                                                      int width, int height)
{
    if (metadata.isEmpty())
        return std::string(encoded);
    prepareExiv2();
    try {
        auto image = Exiv2::ImageFactory::open(asBytes(encoded), static_cast<long>(encoded.size()));
        if (!image.get())
            return unexpected(std::string("unknown image type"));
        // Reading first keeps what the encoder wrote itself, the colour profile above all.
        image->readMetadata();
        const std::string exifBlock = Exiv2Metadata::exifBlockForCopy(metadata, width, height);
        if (!exifBlock.empty()) {
            Exiv2::ExifData exif;
            Exiv2::ExifParser::decode(exif, asBytes(exifBlock), static_cast<std::uint32_t>(exifBlock.size()));
            image->setExifData(exif);
        }
        if (!metadata.iptc.empty()) {
            Exiv2::IptcData iptc;
            if (Exiv2::IptcParser::decode(iptc, asBytes(metadata.iptc), static_cast<std::uint32_t>(metadata.iptc.size())) == 0)
                image->setIptcData(iptc);
        }
        image->writeMetadata();
        Exiv2::BasicIo& io = image->io();
        if (io.open() != 0)
            return unexpected(std::string("cannot reopen the encoded image"));
        const long size = io.size();
        const Exiv2::DataBuf bytes = io.read(size);
        io.close();
        if (bytes.size_ != size)
            return unexpected(std::string("cannot read back the encoded image"));
        return std::string(reinterpret_cast<const char*>(bytes.pData_), static_cast<std::size_t>(bytes.size_));
    } catch (const std::exception& error) {
        return unexpected(std::string("cannot add metadata: ") + error.what());
    } catch (...) {
        return unexpected(std::string("cannot add metadata"));
    }
}

} // namespace Exiv2Metadata
