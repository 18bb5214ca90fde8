#pragma once
// The module's own code over each library; ImageLibraries hands it out.

#include "Platform/Images/HeifCodec.h"
#include "Platform/Images/ImageMetadata.h"
#include "VudeKit/Expected.h"

#include <QImage>
#include <QString>

#include <functional>
#include <string>
#include <string_view>

namespace HeifLibrary {
Expected<HeifCodec::Decoded, std::string> decode(std::string_view encoded, const std::function<bool(QSize)>& fits);
Expected<std::string, std::string> encode(QImage image, double quality, std::string_view exif);
bool canDecode();
bool canEncode();
bool isSupported(std::string_view bytes);
} // namespace HeifLibrary

namespace Exiv2Metadata {
ImageHeaderInfo readImageHeader(std::string_view encoded, ImageFormat format, bool wantMetadata);
ImageMetadata imageMetadataFromExif(std::string_view exifBlock);
std::string exifBlockForCopy(const ImageMetadata& metadata, int width, int height);
Expected<std::string, std::string> embedImageMetadata(std::string_view encoded, const ImageMetadata& metadata,
                                                      int width, int height);
} // namespace Exiv2Metadata

namespace GiflibWriter {
Expected<std::string, std::string> encode(const QImage& image);
} // namespace GiflibWriter

namespace PdfPages {
Expected<QImage, std::string> firstPage(const QString& path, const std::string& shownName, int pixels);
} // namespace PdfPages
