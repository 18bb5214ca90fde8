#pragma once
// The metadata a re-encoded copy of an image carries over from its source:
// the EXIF block (camera, exposure and GPS tags) and the IPTC records. Maker
// notes, thumbnails, XMP, colour-profile and pixel-layout tags stay behind.
// Orientation is never carried as it was: decoded images are upright, so a
// copy says orientation 1.

#include "Platform/Images/ImageFormat.h"
#include "VudeKit/Expected.h"

#include <string>
#include <string_view>

struct ImageMetadata {
    /// A TIFF-structured EXIF block ("II*\0..." or "MM\0*..."), empty when none.
    std::string exif;
    /// IPTC-IIM datasets, empty when none.
    std::string iptc;

    bool isEmpty() const { return exif.empty() && iptc.empty(); }
    bool operator==(const ImageMetadata&) const = default;
};

/// What the header of an encoded image says about it.
struct ImageHeaderInfo {
    /// The EXIF orientation, 1...8; 1 when absent or out of range.
    int orientation = 1;
    /// Empty unless asked for.
    ImageMetadata metadata;
};

/// Reads an encoded JPEG, PNG, TIFF or WebP image's orientation and, when
/// `wantMetadata`, the metadata a copy keeps. Metadata that cannot be read
/// reads as none; other formats give the defaults.
ImageHeaderInfo readImageHeader(std::string_view encoded, ImageFormat format, bool wantMetadata);

/// The metadata a copy keeps of a raw EXIF block (as HEIF files hold it).
ImageMetadata imageMetadataFromExif(std::string_view exifBlock);

/// The EXIF block for an upright copy of `width` x `height` pixels: the kept
/// tags, orientation 1 and the pixel dimensions of the copy. Empty when
/// `metadata` holds no EXIF.
std::string exifBlockForCopy(const ImageMetadata& metadata, int width, int height);

/// Adds `metadata` to an encoded JPEG, PNG, TIFF or WebP image of
/// `width` x `height` pixels; the pixels and colour profile are untouched.
Expected<std::string, std::string> embedImageMetadata(std::string_view encoded, const ImageMetadata& metadata,
                                                      int width, int height);
