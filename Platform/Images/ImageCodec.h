#pragma once
// Reading and writing still images for the drop pipelines: Qt's image plugins
// for JPEG, PNG, TIFF, GIF, BMP and WebP, libheif for HEIC and HEIF, exiv2 for
// metadata and giflib to write GIF.
//
// Decoded pixels are always upright: the EXIF orientation (or the HEIF
// container's rotation) is applied here, once. A format is recognised by its
// content, never by the file name. Every function is safe on any thread.

#include "Platform/Images/ImageFormat.h"
#include "Platform/Images/ImageMetadata.h"
#include "VudeKit/Expected.h"

#include <QImage>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace ImageCodec {

/// The most pixels one decode may allocate (512 MiB at 32 bits a pixel).
inline constexpr std::int64_t maxDecodedPixels = std::int64_t(1) << 27;
/// The most memory one image may take from decoding to encoding: the decoded
/// pixels in their format, the decoder's and the encoder's working copies.
/// A small file can declare a huge image; what would need more is refused
/// before anything is decoded.
inline constexpr std::int64_t maxWorkingBytes = std::int64_t(512) << 20;
/// The largest file read.
inline constexpr std::uintmax_t maxFileBytes = std::uintmax_t(512) << 20;

struct DecodeOptions {
    /// When set and the image is larger, its longer side is reduced to this
    /// many pixels, during decoding where the format allows it (JPEG, PNG).
    std::optional<int> maxPixelSize;
    /// Whether to read the metadata a copy keeps.
    bool withMetadata = false;
    /// The format the pixels will be encoded in, when they will: that
    /// encoder's working copies count against maxWorkingBytes too.
    std::optional<ImageFormat> encodingAs;
};

struct DecodedImage {
    QImage image;
    ImageFormat format = ImageFormat::jpeg;
    ImageMetadata metadata;
};

/// Fails with a reason for data that is no complete image of the eight
/// formats, or whose full size is more than maxDecodedPixels, reduced or not,
/// or that would need more than maxWorkingBytes ("the image is too large").
Expected<DecodedImage, std::string> decode(std::string_view encoded, const DecodeOptions& options = {});
Expected<DecodedImage, std::string> decodeFile(const std::filesystem::path& path, const DecodeOptions& options = {});

struct EncodeOptions {
    ImageFormat format = ImageFormat::jpeg;
    /// 0...1; used by JPEG, WebP and HEIC.
    double quality = 0.9;
    /// Carried into JPEG, PNG, TIFF, WebP and HEIC; GIF and BMP hold none.
    ImageMetadata metadata;
};

/// The encoded file's bytes. JPEG has no transparency: transparent pixels
/// are laid on white. Text chunks and comments of the source never follow.
/// An image moved in may be freed before the encoder's own work (HEIC).
Expected<std::string, std::string> encode(QImage image, const EncodeOptions& options);

/// Whether this system can read, or write, the format.
bool canDecode(ImageFormat format);
bool canEncode(ImageFormat format);

} // namespace ImageCodec
