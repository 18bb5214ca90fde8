#include "Platform/Images/ImageFormat.h"

#include "VudeKit/AsciiCase.h"

#include "Platform/Images/HeifCodec.h"

#include <algorithm>

namespace {

struct ExtensionEntry {
    std::string_view extension;
    ImageFormat format;
};

constexpr std::array extensionTable{
    ExtensionEntry{"jpg", ImageFormat::jpeg},  ExtensionEntry{"jpeg", ImageFormat::jpeg},
    ExtensionEntry{"jpe", ImageFormat::jpeg},  ExtensionEntry{"png", ImageFormat::png},
    ExtensionEntry{"heic", ImageFormat::heic}, ExtensionEntry{"heif", ImageFormat::heif},
    ExtensionEntry{"hif", ImageFormat::heif},  ExtensionEntry{"tif", ImageFormat::tiff},
    ExtensionEntry{"tiff", ImageFormat::tiff}, ExtensionEntry{"gif", ImageFormat::gif},
    ExtensionEntry{"bmp", ImageFormat::bmp},   ExtensionEntry{"dib", ImageFormat::bmp},
    ExtensionEntry{"webp", ImageFormat::webp},
};

bool startsWith(std::string_view bytes, std::string_view prefix)
{
    return bytes.substr(0, prefix.size()) == prefix;
}

} // namespace

std::optional<ImageFormat> imageFormatForExtension(std::string_view extension)
{
    for (const auto& entry : extensionTable)
        if (std::ranges::equal(extension, entry.extension, {}, asciiLower))
            return entry.format;
    return std::nullopt;
}

std::string_view preferredExtension(ImageFormat format)
{
    return rawValue(format);
}

std::optional<ImageFormat> sniffImageFormat(std::string_view bytes)
{
    using namespace std::string_view_literals;
    if (startsWith(bytes, "\xFF\xD8\xFF"sv))
        return ImageFormat::jpeg;
    if (startsWith(bytes, "\x89PNG\r\n\x1A\n"sv))
        return ImageFormat::png;
    if (startsWith(bytes, "GIF87a"sv) || startsWith(bytes, "GIF89a"sv))
        return ImageFormat::gif;
    if (startsWith(bytes, "BM"sv))
        return ImageFormat::bmp;
    if (startsWith(bytes, "II*\0"sv) || startsWith(bytes, "MM\0*"sv) || startsWith(bytes, "II+\0"sv)
        || startsWith(bytes, "MM\0+"sv))
        return ImageFormat::tiff;
    if (startsWith(bytes, "RIFF"sv) && bytes.size() >= 12 && bytes.substr(8, 4) == "WEBP"sv)
        return ImageFormat::webp;
    // Only a box-structured file can be HEIF; anything else never opens the
    // imaging module.
    if (bytes.size() >= 12 && bytes.substr(4, 4) == "ftyp"sv && HeifCodec::isSupportedFile(bytes))
        return ImageFormat::heic;
    return std::nullopt;
}
