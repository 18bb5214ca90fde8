// A child of the codec tests. It decodes each file named on its command line
// and prints one line for each: "<width>x<height> <digest of the pixels>", or
// "refused". A test runs it under two different allocator fills (the
// sanitizer's and glibc's) and compares: a pixel no decoder wrote would show
// the fill, so the digests would differ.
#include "Platform/Images/ImageCodec.h"

#include <QCoreApplication>

#include <cstdint>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    for (int i = 1; i < argc; ++i) {
        const auto decoded = ImageCodec::decodeFile(argv[i]);
        if (!decoded) {
            std::printf("refused\n");
            continue;
        }
        const QImage image = decoded->image.convertToFormat(QImage::Format_ARGB32);
        std::uint64_t digest = 14695981039346656037ull;
        for (int y = 0; y < image.height(); ++y) {
            const uchar* line = image.constScanLine(y);
            for (qsizetype x = 0; x < qsizetype(image.width()) * 4; ++x) {
                digest ^= line[x];
                digest *= 1099511628211ull;
            }
        }
        std::printf("%dx%d %016llx\n", image.width(), image.height(), static_cast<unsigned long long>(digest));
    }
    return 0;
}
