#pragma once
// The eight still-image formats the drop pipelines read and write, how file
// names map to them (by extension only, as file managers do) and how their
// content is recognised (by signature, whatever the name says).

#include "VudeKit/EnumTraits.h"

#include <optional>
#include <string_view>

enum class ImageFormat { jpeg, png, heic, heif, tiff, gif, bmp, webp };

/// Raw text: the preferred file-name extension. Label: the format's usual name.
template <>
struct EnumTraits<ImageFormat> {
    using F = ImageFormat;
    static constexpr std::array cases{
        EnumCase{F::jpeg, "jpeg", "JPEG"}, EnumCase{F::png, "png", "PNG"},
        EnumCase{F::heic, "heic", "HEIC"}, EnumCase{F::heif, "heif", "HEIF"},
        EnumCase{F::tiff, "tiff", "TIFF"}, EnumCase{F::gif, "gif", "GIF"},
        EnumCase{F::bmp, "bmp", "BMP"},    EnumCase{F::webp, "webp", "WebP"},
    };
};

/// The format a file-name extension (without the point) names, ignoring
/// letter case: "JPG", "jpeg", "jpe", "tif", "hif", "dib" and the like.
std::optional<ImageFormat> imageFormatForExtension(std::string_view extension);

/// The extension new files of the format get ("jpeg", "png", "tiff"...).
std::string_view preferredExtension(ImageFormat format);

/// The format whose signature starts `bytes`, or none. HEIC and HEIF are both
/// reported as heic.
std::optional<ImageFormat> sniffImageFormat(std::string_view bytes);
