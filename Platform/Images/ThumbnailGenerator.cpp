#include "Platform/Images/ThumbnailGenerator.h"

#include "Platform/Core/UniqueFd.h"
#include "Platform/Images/ImageCodec.h"
#include "Platform/Images/ImageLibraries.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// A PDF's header may stand anywhere in its first kilobyte.
constexpr std::size_t kSniffBytes = 1024;
constexpr std::string_view kPdfSignature = "%PDF-";

// Opens a regular file without waiting on whatever else may stand there.
Expected<int, std::string> openRegularFile(const fs::path& file, struct stat& info)
{
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return unexpected("cannot open " + file.string() + ": " + std::strerror(errno));
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return unexpected(file.string() + " is not a regular file");
    }
    return fd;
}

std::string readPrefix(int fd)
{
    std::string bytes(kSniffBytes, '\0');
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t count = ::pread(fd, bytes.data() + filled, bytes.size() - filled, static_cast<off_t>(filled));
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            break;
        filled += static_cast<std::size_t>(count);
    }
    bytes.resize(filled);
    return bytes;
}

// The first page, through the imaging module. The document is opened
// through the descriptor already checked, so no other file can take its
// place in between.
Expected<QImage, std::string> pdfThumbnail(int fd, const fs::path& file, int pixels)
{
    const auto libraries = ImageLibraries::shared();
    if (!libraries)
        return unexpected(libraries.error());
    return (*libraries)->pdfFirstPage(QStringLiteral("/proc/self/fd/") + QString::number(fd), file.string(), pixels);
}

} // namespace

Expected<QImage, std::string> FileThumbnailGenerator::thumbnail(const fs::path& file, int pixels) const
{
    if (pixels < 1)
        return unexpected(std::string("no size to draw at"));
    struct stat info {};
    const auto opened = openRegularFile(file, info);
    if (!opened)
        return unexpected(opened.error());
    const UniqueFd fd(*opened);
    const std::string prefix = readPrefix(fd.get());

    if (sniffImageFormat(prefix)) {
        ImageCodec::DecodeOptions options;
        options.maxPixelSize = pixels;
        options.encodingAs = ImageFormat::png;
        auto decoded = ImageCodec::decodeFile(file, options);
        if (!decoded)
            return unexpected(decoded.error());
        return std::move(decoded->image);
    }
    if (prefix.find(kPdfSignature) != std::string::npos) {
        if (static_cast<std::uintmax_t>(info.st_size) > maxDocumentBytes)
            return unexpected(file.string() + " is too large");
        return pdfThumbnail(fd.get(), file, pixels);
    }
    return unexpected("no picture of " + file.string() + "'s kind of content");
}
