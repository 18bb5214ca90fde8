#include "Platform/Images/Module/ImageLibraryCode.h"

#include <gif_lib.h>

#include <QPainter>

#include <memory>
#include <unordered_map>
#include <vector>

namespace {

constexpr int maxGifSide = 65535;
constexpr int paletteLimit = 256;

struct IndexedFrame {
    std::vector<GifColorType> palette;
    std::vector<GifPixelType> pixels;
    int transparentIndex = -1;
};

GifColorType gifColor(QRgb rgb)
{
    return GifColorType{static_cast<GifByteType>(qRed(rgb)), static_cast<GifByteType>(qGreen(rgb)),
                        static_cast<GifByteType>(qBlue(rgb))};
}

// Every colour of the image gets its own entry; fails beyond 256 of them.
bool indexExactly(const QImage& image, IndexedFrame& frame)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    std::unordered_map<QRgb, GifPixelType> indexOf;
    frame.pixels.resize(static_cast<std::size_t>(argb.width()) * static_cast<std::size_t>(argb.height()));
    std::size_t at = 0;
    for (int y = 0; y < argb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            // GIF transparency is all or nothing.
            const QRgb key = qAlpha(line[x]) < 128 ? 0u : (line[x] | 0xFF000000u);
            auto found = indexOf.find(key);
            if (found == indexOf.end()) {
                if (frame.palette.size() == paletteLimit)
                    return false;
                if (key == 0)
                    frame.transparentIndex = static_cast<int>(frame.palette.size());
                found = indexOf.emplace(key, static_cast<GifPixelType>(frame.palette.size())).first;
                frame.palette.push_back(gifColor(key));
            }
            frame.pixels[at++] = found->second;
        }
    }
    return true;
}

IndexedFrame indexWithDithering(const QImage& image)
{
    QImage opaque(image.size(), QImage::Format_RGB32);
    opaque.fill(Qt::white);
    {
        QPainter painter(&opaque);
        painter.drawImage(0, 0, image);
    }
    const QImage indexed = opaque.convertToFormat(QImage::Format_Indexed8, Qt::ColorOnly | Qt::DiffuseDither);
    IndexedFrame frame;
    for (const QRgb rgb : indexed.colorTable())
        frame.palette.push_back(gifColor(rgb));
    frame.pixels.reserve(static_cast<std::size_t>(indexed.width()) * static_cast<std::size_t>(indexed.height()));
    for (int y = 0; y < indexed.height(); ++y) {
        const uchar* line = indexed.constScanLine(y);
        frame.pixels.insert(frame.pixels.end(), line, line + indexed.width());
    }
    return frame;
}

int appendTo(GifFileType* gif, const GifByteType* data, int length)
{
    static_cast<std::string*>(gif->UserData)->append(reinterpret_cast<const char*>(data), static_cast<std::size_t>(length));
    return length;
}

std::string describe(int error)
{
    const char* text = GifErrorString(error);
    return text ? text : "giflib error " + std::to_string(error);
}

struct MapDeleter {
    void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};

} // namespace

namespace GiflibWriter {

Expected<std::string, std::string> encode(const QImage& image)
{
    if (image.isNull() || image.width() > maxGifSide || image.height() > maxGifSide)
        return unexpected(std::string("GIF images are at most 65535 pixels a side"));

    IndexedFrame frame;
    if (!indexExactly(image, frame))
        frame = indexWithDithering(image);
    // giflib wants a power of two entries.
    int entries = 2;
    while (entries < static_cast<int>(frame.palette.size()))
        entries *= 2;
    frame.palette.resize(static_cast<std::size_t>(entries), GifColorType{0, 0, 0});
    std::unique_ptr<ColorMapObject, MapDeleter> map(GifMakeMapObject(entries, frame.palette.data()));
    if (!map)
        return unexpected(std::string("cannot make the GIF palette"));

    std::string bytes;
    int error = 0;
    GifFileType* gif = EGifOpen(&bytes, appendTo, &error);
    if (!gif)
        return unexpected(std::string("cannot start a GIF: ") + describe(error));
    EGifSetGifVersion(gif, true);
    bool ok = EGifPutScreenDesc(gif, image.width(), image.height(), 8, 0, map.get()) == GIF_OK;
    if (ok && frame.transparentIndex >= 0) {
        GraphicsControlBlock control{};
        control.DisposalMode = DISPOSAL_UNSPECIFIED;
        control.TransparentColor = frame.transparentIndex;
        GifByteType extension[4];
        const auto length = EGifGCBToExtension(&control, extension);
        ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), extension) == GIF_OK;
    }
    ok = ok && EGifPutImageDesc(gif, 0, 0, image.width(), image.height(), false, nullptr) == GIF_OK;
    for (int y = 0; ok && y < image.height(); ++y)
        ok = EGifPutLine(gif, frame.pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width()),
                         image.width()) == GIF_OK;
    const int lastError = gif->Error;
    const bool closed = EGifCloseFile(gif, &error) == GIF_OK;
    if (!ok)
        return unexpected(std::string("cannot write the GIF: ") + describe(lastError));
    if (!closed)
        return unexpected(std::string("cannot finish the GIF: ") + describe(error));
    return bytes;
}

} // namespace GiflibWriter
