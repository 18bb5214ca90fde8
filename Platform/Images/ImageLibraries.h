#pragma once
// What the pipelines and the thumbnails need of the large image libraries:
// libheif (with libde265 under it), exiv2, giflib and Qt Pdf. Only they use
// them, so that code lives in the module "vude-imaging.so"
// (Core/LoadableModule.h), opened the first time a pipeline or a thumbnail
// asks. HeifCodec, GifWriter, the metadata functions and the PDF thumbnails
// go through here; without the module those formats fail with the loader's
// message, and metadata reads as none.

#include "Platform/Images/HeifCodec.h"
#include "Platform/Images/ImageMetadata.h"
#include "VudeKit/Expected.h"

#include <QImage>
#include <QString>

#include <functional>
#include <string>
#include <string_view>

class ImageLibraries {
public:
    virtual ~ImageLibraries() = default;

    /// The module's libraries, opened on the first call; or why they cannot
    /// be had. Thread-safe.
    static Expected<const ImageLibraries*, std::string> shared();

    virtual Expected<HeifCodec::Decoded, std::string> decodeHeif(std::string_view encoded,
                                                                 const std::function<bool(QSize)>& fits) const = 0;
    virtual Expected<std::string, std::string> encodeHeif(QImage image, double quality,
                                                          std::string_view exif) const = 0;
    virtual bool canDecodeHeif() const = 0;
    virtual bool canEncodeHeif() const = 0;
    /// Whether `bytes` (at least 12) start a HEIF file this libheif reads.
    virtual bool isSupportedHeif(std::string_view bytes) const = 0;

    virtual ImageHeaderInfo readImageHeader(std::string_view encoded, ImageFormat format,
                                            bool wantMetadata) const = 0;
    virtual ImageMetadata imageMetadataFromExif(std::string_view exifBlock) const = 0;
    virtual std::string exifBlockForCopy(const ImageMetadata& metadata, int width, int height) const = 0;
    virtual Expected<std::string, std::string> embedImageMetadata(std::string_view encoded,
                                                                  const ImageMetadata& metadata, int width,
                                                                  int height) const = 0;

    virtual Expected<std::string, std::string> encodeGif(const QImage& image) const = 0;

    /// The first page of the PDF at `path`, at most `pixels` on its longer
    /// side, on white; the error names `shownName`.
    virtual Expected<QImage, std::string> pdfFirstPage(const QString& path, const std::string& shownName,
                                                       int pixels) const = 0;
};
