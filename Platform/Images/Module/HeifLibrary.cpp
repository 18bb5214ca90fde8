#include "Platform/Images/Module/ImageLibraryCode.h"

#include "Platform/Images/Module/HevcPictureBuffers.h"

#include "VudeKit/Numbers.h"

#include <libheif/heif.h>

#include <QColorSpace>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

struct ContextDeleter {
    void operator()(heif_context* context) const { heif_context_free(context); }
};
struct HandleDeleter {
    void operator()(heif_image_handle* handle) const { heif_image_handle_release(handle); }
};
struct ImageDeleter {
    void operator()(heif_image* image) const { heif_image_release(image); }
};
struct EncoderDeleter {
    void operator()(heif_encoder* encoder) const { heif_encoder_release(encoder); }
};
using Context = std::unique_ptr<heif_context, ContextDeleter>;
using Handle = std::unique_ptr<heif_image_handle, HandleDeleter>;
using Image = std::unique_ptr<heif_image, ImageDeleter>;
using Encoder = std::unique_ptr<heif_encoder, EncoderDeleter>;

std::string describe(const heif_error& error)
{
    return error.message ? std::string(error.message) : std::string("libheif error");
}

// The EXIF item starts with the offset of its TIFF header.
std::string exifOf(heif_image_handle* handle)
{
    heif_item_id id = 0;
    if (heif_image_handle_get_list_of_metadata_block_IDs(handle, "Exif", &id, 1) < 1)
        return {};
    const std::size_t size = heif_image_handle_get_metadata_size(handle, id);
    if (size <= 4 || size > 16 * 1024 * 1024)
        return {};
    std::string item(size, '\0');
    if (heif_image_handle_get_metadata(handle, id, item.data()).code != heif_error_Ok)
        return {};
    const auto* bytes = reinterpret_cast<const unsigned char*>(item.data());
    const std::uint32_t offset = (std::uint32_t(bytes[0]) << 24) | (std::uint32_t(bytes[1]) << 16)
        | (std::uint32_t(bytes[2]) << 8) | std::uint32_t(bytes[3]);
    if (offset > size - 4)
        return {};
    return item.substr(4 + offset);
}

QColorSpace colorSpaceOf(heif_image_handle* handle)
{
    switch (heif_image_handle_get_color_profile_type(handle)) {
    case heif_color_profile_type_prof:
    case heif_color_profile_type_rICC: {
        const std::size_t size = heif_image_handle_get_raw_color_profile_size(handle);
        QByteArray profile(static_cast<qsizetype>(size), '\0');
        if (size == 0 || heif_image_handle_get_raw_color_profile(handle, profile.data()).code != heif_error_Ok)
            return {};
        return QColorSpace::fromIccProfile(profile);
    }
    case heif_color_profile_type_nclx: {
        heif_color_profile_nclx* nclx = nullptr;
        if (heif_image_handle_get_nclx_color_profile(handle, &nclx).code != heif_error_Ok || !nclx)
            return {};
        const bool srgbCurve = nclx->transfer_characteristics == heif_transfer_characteristic_IEC_61966_2_1;
        const auto primaries = nclx->color_primaries;
        heif_nclx_color_profile_free(nclx);
        if (srgbCurve && primaries == heif_color_primaries_SMPTE_EG_432_1)
            return QColorSpace(QColorSpace::DisplayP3);
        if (srgbCurve && primaries == heif_color_primaries_ITU_R_BT_709_5)
            return QColorSpace(QColorSpace::SRgb);
        return {};
    }
    default:
        return {};
    }
}

heif_error appendTo(heif_context*, const void* data, size_t size, void* userdata)
{
    static_cast<std::string*>(userdata)->append(static_cast<const char*>(data), size);
    return heif_error{heif_error_Ok, heif_suberror_Unspecified, "Success"};
}

} // namespace

namespace HeifLibrary {

using HeifCodec::Decoded;

Expected<Decoded, std::string> decode(std::string_view encoded, const std::function<bool(QSize)>& fits)
{
    HevcPictureBuffers::install();
    Context context(heif_context_alloc());
    if (!context)
        return unexpected(std::string("cannot allocate a HEIF context"));
    heif_error error = heif_context_read_from_memory_without_copy(context.get(), encoded.data(), encoded.size(), nullptr);
    if (error.code != heif_error_Ok)
        return unexpected(describe(error));

    heif_image_handle* rawHandle = nullptr;
    error = heif_context_get_primary_image_handle(context.get(), &rawHandle);
    Handle handle(rawHandle);
    if (error.code != heif_error_Ok || !handle)
        return unexpected(describe(error));

    const std::int64_t width = heif_image_handle_get_width(handle.get());
    const std::int64_t height = heif_image_handle_get_height(handle.get());
    if (width <= 0 || height <= 0)
        return unexpected(std::string("the image has no pixels"));
    if (width > INT32_MAX || height > INT32_MAX || !fits(QSize(static_cast<int>(width), static_cast<int>(height))))
        return unexpected(std::string("the image is too large"));

    const bool alpha = heif_image_handle_has_alpha_channel(handle.get()) != 0;
    heif_image* rawImage = nullptr;
    error = heif_decode_image(handle.get(), &rawImage, heif_colorspace_RGB,
                              alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, nullptr);
    Image image(rawImage);
    if (error.code != heif_error_Ok || !image)
        return unexpected(describe(error));

    int stride = 0;
    const std::uint8_t* plane = heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    const int decodedWidth = heif_image_get_width(image.get(), heif_channel_interleaved);
    const int decodedHeight = heif_image_get_height(image.get(), heif_channel_interleaved);
    if (!plane || decodedWidth <= 0 || decodedHeight <= 0)
        return unexpected(std::string("the decoder returned no pixels"));

    // The QImage borrows libheif's buffer and releases it with the last copy.
    heif_image* owned = image.release();
    QImage pixels(plane, decodedWidth, decodedHeight, stride,
                  alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888,
                  [](void* info) { heif_image_release(static_cast<heif_image*>(info)); }, owned);
    if (pixels.isNull()) {
        heif_image_release(owned);
        return unexpected(std::string("cannot hold the decoded pixels"));
    }
    pixels.setColorSpace(colorSpaceOf(handle.get()));
    return Decoded{std::move(pixels), exifOf(handle.get())};
}

Expected<std::string, std::string> encode(QImage source, double quality, std::string_view exif)
{
    Context context(heif_context_alloc());
    heif_encoder* rawEncoder = nullptr;
    heif_error error = heif_context_get_encoder_for_format(context.get(), heif_compression_HEVC, &rawEncoder);
    Encoder encoder(rawEncoder);
    if (error.code != heif_error_Ok || !encoder)
        return unexpected(describe(error));
    heif_encoder_set_lossy_quality(encoder.get(), saturatingRound<int>(clampedOrLower(quality, 0, 1) * 100));

    const bool alpha = source.hasAlphaChannel();
    const QImage::Format format = alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888;
    const int width = source.width();
    const int height = source.height();
    heif_image* rawImage = nullptr;
    error = heif_image_create(width, height, heif_colorspace_RGB,
                              alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, &rawImage);
    Image image(rawImage);
    if (error.code != heif_error_Ok)
        return unexpected(describe(error));
    error = heif_image_add_plane(image.get(), heif_channel_interleaved, width, height, 8);
    if (error.code != heif_error_Ok)
        return unexpected(describe(error));
    int stride = 0;
    std::uint8_t* plane = heif_image_get_plane(image.get(), heif_channel_interleaved, &stride);
    // Converted a band of rows at a time, never as a whole second copy.
    constexpr int bandRows = 64;
    const std::size_t rowBytes = static_cast<std::size_t>(width) * (alpha ? 4 : 3);
    for (int top = 0; top < height; top += bandRows) {
        const int rows = std::min(bandRows, height - top);
        const QImage band = source.copy(0, top, width, rows).convertToFormat(format);
        for (int y = 0; y < rows; ++y)
            std::memcpy(plane + static_cast<std::ptrdiff_t>(top + y) * stride, band.constScanLine(y), rowBytes);
    }

    if (source.colorSpace().isValid()) {
        const QByteArray profile = source.colorSpace().iccProfile();
        if (!profile.isEmpty())
            heif_image_set_raw_color_profile(image.get(), "prof", profile.constData(), static_cast<size_t>(profile.size()));
    }
    // The encoder works on its own copy from here on.
    source = QImage();

    heif_image_handle* rawHandle = nullptr;
    error = heif_context_encode_image(context.get(), image.get(), encoder.get(), nullptr, &rawHandle);
    Handle handle(rawHandle);
    if (error.code != heif_error_Ok)
        return unexpected(describe(error));
    if (!exif.empty()) {
        error = heif_context_add_exif_metadata(context.get(), handle.get(), exif.data(), static_cast<int>(exif.size()));
        if (error.code != heif_error_Ok)
            return unexpected(describe(error));
    }

    std::string bytes;
    heif_writer writer{1, appendTo};
    error = heif_context_write(context.get(), &writer, &bytes);
    if (error.code != heif_error_Ok)
        return unexpected(describe(error));
    return bytes;
}

bool canEncode()
{
    Context context(heif_context_alloc());
    heif_encoder* encoder = nullptr;
    const heif_error error = heif_context_get_encoder_for_format(context.get(), heif_compression_HEVC, &encoder);
    if (encoder)
        heif_encoder_release(encoder);
    return error.code == heif_error_Ok;
}

bool canDecode()
{
    return heif_have_decoder_for_format(heif_compression_HEVC) != 0;
}

bool isSupported(std::string_view bytes)
{
    const int probe = static_cast<int>(std::min<std::size_t>(bytes.size(), 64));
    return probe >= 12
        && heif_check_filetype(reinterpret_cast<const std::uint8_t*>(bytes.data()), probe)
               == heif_filetype_yes_supported;
}

} // namespace HeifLibrary
