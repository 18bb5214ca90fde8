#include "Platform/Core/FileBookmark.h"

#include <QFile>
#include <QUrl>

namespace fs = std::filesystem;

namespace FileBookmark {

Expected<std::string, std::string> create(const fs::path& path)
{
    if (!path.is_absolute())
        return unexpected(path.string() + " is not an absolute path");
    std::error_code error;
    if (fs::symlink_status(path, error).type() == fs::file_type::not_found)
        return unexpected(path.string() + " does not exist");
    return QUrl::fromLocalFile(QFile::decodeName(path.c_str())).toEncoded().toStdString();
}

std::optional<fs::path> resolve(std::string_view bookmark)
{
    const QUrl url = QUrl::fromEncoded(QByteArray(bookmark.data(), static_cast<qsizetype>(bookmark.size())),
                                       QUrl::StrictMode);
    if (!url.isValid() || !url.isLocalFile())
        return std::nullopt;
    const fs::path path(QFile::encodeName(url.toLocalFile()).toStdString());
    std::error_code error;
    if (!path.is_absolute() || fs::symlink_status(path, error).type() == fs::file_type::not_found)
        return std::nullopt;
    return path;
}

} // namespace FileBookmark
