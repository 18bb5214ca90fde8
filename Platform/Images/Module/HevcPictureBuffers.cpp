#include "Platform/Images/Module/HevcPictureBuffers.h"

#include <libde265/de265.h>

#include <algorithm>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace {

constexpr std::size_t planeAlignment = 64;

int planeCount(const de265_image* image)
{
    return de265_get_chroma_format(image) == de265_chroma_mono ? 1 : 3;
}

// Luma 0 and neutral chroma: what was never decoded shows black.
void fill(void* plane, std::size_t bytes, int channel, int bitsPerSample)
{
    if (channel == 0) {
        std::memset(plane, 0, bytes);
    } else if (bitsPerSample <= 8) {
        std::memset(plane, 1 << (std::max(bitsPerSample, 1) - 1), bytes);
    } else {
        auto* samples = static_cast<std::uint16_t*>(plane);
        std::fill(samples, samples + bytes / 2, static_cast<std::uint16_t>(1u << (bitsPerSample - 1)));
    }
}

// The planes libde265's own allocation makes (rows padded to the alignment
// the decoder asks for, two bytes a sample above 8 bits), filled.
int getBuffer(de265_decoder_context*, de265_image_spec* spec, de265_image* image, void*)
{
    const de265_chroma chroma = de265_get_chroma_format(image);
    const int alignment = std::max(1, spec->alignment);
    for (int channel = 0; channel < planeCount(image); ++channel) {
        int width = spec->width;
        int height = spec->height;
        if (channel > 0 && (chroma == de265_chroma_420 || chroma == de265_chroma_422))
            width = (width + 1) / 2;
        if (channel > 0 && chroma == de265_chroma_420)
            height = (height + 1) / 2;
        const int bits = de265_get_bits_per_pixel(image, channel);
        const std::size_t bytesPerSample = bits > 8 ? 2 : 1;
        const int stride = (std::max(width, 1) + alignment - 1) / alignment * alignment;
        std::size_t bytes = std::size_t(stride) * bytesPerSample * std::size_t(std::max(height, 1));
        bytes = (bytes + planeAlignment - 1) / planeAlignment * planeAlignment;
        void* plane = std::aligned_alloc(planeAlignment, bytes);
        if (!plane) {
            for (int earlier = 0; earlier < channel; ++earlier)
                std::free(de265_get_image_plane_user_data(image, earlier));
            return 0;
        }
        fill(plane, bytes, channel, bits);
        // The public setter takes bytes per row.
        de265_set_image_plane(image, channel, plane, stride * static_cast<int>(bytesPerSample), plane);
    }
    return 1;
}

void releaseBuffer(de265_decoder_context*, de265_image* image, void*)
{
    for (int channel = 0; channel < planeCount(image); ++channel)
        std::free(de265_get_image_plane_user_data(image, channel));
}

// Whether the process may write at `address`, as its memory map says; a
// library that kept its defaults read-only would otherwise crash us.
bool isWritable(const void* address)
{
    std::ifstream maps("/proc/self/maps");
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    for (std::string line; std::getline(maps, line);) {
        std::uintptr_t start = 0, end = 0;
        char permissions[5] = {};
        if (std::sscanf(line.c_str(), "%" SCNxPTR "-%" SCNxPTR " %4s", &start, &end, permissions) == 3 && at >= start
            && at + sizeof(de265_image_allocation) <= end)
            return permissions[1] == 'w';
    }
    return false;
}

bool replaceDefaults()
{
    const de265_image_allocation* defaults = de265_get_default_image_allocation_functions();
    if (!defaults || !isWritable(defaults))
        return false;
    // Each picture copies the defaults when it is allocated, so both functions
    // change together before any picture exists.
    auto* writable = const_cast<de265_image_allocation*>(defaults);
    writable->get_buffer = getBuffer;
    writable->release_buffer = releaseBuffer;
    return de265_get_default_image_allocation_functions()->get_buffer == getBuffer;
}

} // namespace

namespace HevcPictureBuffers {

bool install()
{
    static const bool installed = replaceDefaults();
    return installed;
}

} // namespace HevcPictureBuffers
