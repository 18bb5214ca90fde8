#include "Platform/Images/ImageMetadata.h"

#include "Platform/Images/ImageLibraries.h"

ImageHeaderInfo readImageHeader(std::string_view encoded, ImageFormat format, bool wantMetadata)
{
    const auto libraries = ImageLibraries::shared();
    return libraries ? (*libraries)->readImageHeader(encoded, format, wantMetadata) : ImageHeaderInfo{};
}

ImageMetadata imageMetadataFromExif(std::string_view exifBlock)
{
    const auto libraries = ImageLibraries::shared();
    return libraries ? (*libraries)->imageMetadataFromExif(exifBlock) : ImageMetadata{};
}

std::string exifBlockForCopy(const ImageMetadata& metadata, int width, int height)
{
    const auto libraries = ImageLibraries::shared();
    return libraries ? (*libraries)->exifBlockForCopy(metadata, width, height) : std::string();
}

Expected<std::string, std::string> embedImageMetadata(std::string_view encoded, const ImageMetadata& metadata,
                                                      int width, int height)
{
    const auto libraries = ImageLibraries::shared();
    if (!libraries)
        return unexpected(libraries.error());
    return (*libraries)->embedImageMetadata(encoded, metadata, width, height);
}
