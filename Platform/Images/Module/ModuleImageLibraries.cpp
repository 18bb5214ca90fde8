#include "Platform/Images/ImageLibraries.h"
#include "Platform/Images/Module/ImageLibraryCode.h"

namespace {

class ModuleImageLibraries final : public ImageLibraries {
public:
    Expected<HeifCodec::Decoded, std::string> decodeHeif(std::string_view encoded,
                                                         const std::function<bool(QSize)>& fits) const override
    {
        return HeifLibrary::decode(encoded, fits);
    }
    Expected<std::string, std::string> encodeHeif(QImage image, double quality, std::string_view exif) const override
    {
        return HeifLibrary::encode(std::move(image), quality, exif);
    }
    bool canDecodeHeif() const override { return HeifLibrary::canDecode(); }
    bool canEncodeHeif() const override { return HeifLibrary::canEncode(); }
    bool isSupportedHeif(std::string_view bytes) const override { return HeifLibrary::isSupported(bytes); }

    ImageHeaderInfo readImageHeader(std::string_view encoded, ImageFormat format, bool wantMetadata) const override
    {
        return Exiv2Metadata::readImageHeader(encoded, format, wantMetadata);
    }
    ImageMetadata imageMetadataFromExif(std::string_view exifBlock) const override
    {
        return Exiv2Metadata::imageMetadataFromExif(exifBlock);
    }
    std::string exifBlockForCopy(const ImageMetadata& metadata, int width, int height) const override
    {
        return Exiv2Metadata::exifBlockForCopy(metadata, width, height);
    }
    Expected<std::string, std::string> embedImageMetadata(std::string_view encoded, const ImageMetadata& metadata,
                                                          int width, int height) const override
    {
        return Exiv2Metadata::embedImageMetadata(encoded, metadata, width, height);
    }

    Expected<std::string, std::string> encodeGif(const QImage& image) const override
    {
        return GiflibWriter::encode(image);
    }

    Expected<QImage, std::string> pdfFirstPage(const QString& path, const std::string& shownName,
                                               int pixels) const override
    {
        return PdfPages::firstPage(path, shownName, pixels);
    }
};

} // namespace

extern "C" __attribute__((visibility("default"))) const ImageLibraries* vudeImageLibraries()
{
    static const ModuleImageLibraries libraries;
    return &libraries;
}
