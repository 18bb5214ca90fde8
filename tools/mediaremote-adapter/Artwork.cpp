#include "Artwork.h"

#include <QFile>
#include <QMimeDatabase>
#include <QUrl>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>

namespace {

// A regular file only: a FIFO or device named like a cover must not block or
// flood us.
std::optional<QByteArray> readSmallFile(const QString& path)
{
    const QByteArray encoded = QFile::encodeName(path);
    const int fd = ::open(encoded.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > Artwork::kMaxBytes) {
        ::close(fd);
        return std::nullopt;
    }
    QByteArray bytes(static_cast<qsizetype>(info.st_size), Qt::Uninitialized);
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::read(fd, bytes.data() + done, static_cast<size_t>(bytes.size() - done));
        if (got <= 0)
            break;
        done += got;
    }
    ::close(fd);
    bytes.truncate(done);
    return bytes;
}

Artwork imageArtwork(const QByteArray& bytes, const QString& fileName, QString mimeType = {})
{
    if (bytes.isEmpty() || bytes.size() > Artwork::kMaxBytes)
        return {};
    const QMimeDatabase database;
    if (mimeType.isEmpty())
        mimeType = fileName.isEmpty() ? database.mimeTypeForData(bytes).name()
                                      : database.mimeTypeForFileNameAndData(fileName, bytes).name();
    if (!mimeType.startsWith(QLatin1String("image/")))
        return {};
    return {bytes.toBase64(), mimeType};
}

// data:[<mime>][;base64],<data>
Artwork fromDataUrl(const QString& url)
{
    const auto comma = url.indexOf(QLatin1Char(','));
    if (comma < 0)
        return {};
    const QString header = url.mid(5, comma - 5);
    const bool isBase64 = header.endsWith(QLatin1String(";base64"));
    const QString mimeType = header.section(QLatin1Char(';'), 0, 0).trimmed();
    const QByteArray data = url.mid(comma + 1).toLatin1();
    QByteArray bytes;
    if (isBase64) {
        auto decoded = QByteArray::fromBase64Encoding(data, QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded)
            return {};
        bytes = *decoded;
    } else {
        bytes = QByteArray::fromPercentEncoding(data);
    }
    return imageArtwork(bytes, {}, mimeType);
}

} // namespace

Artwork Artwork::fromUrl(const QString& url)
{
    if (url.startsWith(QLatin1String("data:")))
        return fromDataUrl(url);
    const QUrl parsed(url);
    if (!parsed.isLocalFile())
        return {};
    const QString path = parsed.toLocalFile();
    const auto bytes = readSmallFile(path);
    return bytes ? imageArtwork(*bytes, path) : Artwork{};
}

const Artwork& ArtworkCache::artwork(const QString& url)
{
    if (!m_loaded || url != m_url) {
        m_url = url;
        m_artwork = url.isEmpty() ? Artwork{} : Artwork::fromUrl(url);
        m_loaded = true;
    }
    return m_artwork;
}
