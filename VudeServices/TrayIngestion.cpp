#include "VudeServices/TrayIngestion.h"

#include "Platform/Core/AtomicFile.h"
#include "Platform/Core/FileBookmark.h"
#include "Platform/Core/FileTree.h"
#include "Platform/Images/ImageCodec.h"
#include "VudeKit/Numbers.h"

#include <QFile>
#include <QMimeDatabase>
#include <QString>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kDirectoryType = "inode/directory";

// "“name”", for messages.
std::string quoted(const std::string& name)
{
    return "\xE2\x80\x9C" + name + "\xE2\x80\x9D";
}

// The name as UTF-8: bytes that are not become U+FFFD. Items are kept
// under such a name, so that the index, which is JSON, can name them.
std::string validUtf8(const std::string& bytes)
{
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size())).toStdString();
}

std::string mimeTypeOf(const fs::path& path, bool isDirectory)
{
    if (isDirectory)
        return std::string(kDirectoryType);
    const QMimeType type = QMimeDatabase().mimeTypeForFile(QFile::decodeName(path.c_str()));
    if (!type.isValid())
        return std::string(TrayItem::genericType);
    return type.name().toStdString();
}

bool isHidden(const fs::path& path)
{
    const std::string name = path.filename().string();
    return !name.empty() && name.front() == '.';
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// A text that is one URL with a scheme and nothing else, as a browser copies
// a link: it names that URL, as a URL list would.
std::optional<std::string> singleURL(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    const auto separator = text.find("://");
    if (separator == std::string_view::npos || separator == 0 || separator + 3 >= text.size())
        return std::nullopt;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (isBlank(c))
            return std::nullopt;
        if (i < separator) {
            const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
            const bool other = (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
            if (!letter && (i == 0 || !other))
                return std::nullopt;
        }
    }
    return std::string(text);
}

// A new private folder for one paste.
std::optional<fs::path> makeStagingFolder(const fs::path& stagingRoot)
{
    if (stagingRoot.empty())
        return std::nullopt;
    std::string pattern = (stagingRoot / "tray-paste-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        return std::nullopt;
    return fs::path(pattern);
}

TrayIngestion::PasteIntake staged(const fs::path& stagingRoot, const std::string& name, std::string_view bytes)
{
    const auto folder = makeStagingFolder(stagingRoot);
    if (!folder)
        return {};
    const fs::path file = *folder / name;
    if (!AtomicFile::write(file, bytes, 0600)) {
        std::error_code ignored;
        fs::remove_all(*folder, ignored);
        return {};
    }
    return {TrayIngestion::PasteIntake::Kind::pasted, {file}, *folder};
}

std::vector<fs::path> localFiles(const std::vector<std::string>& urls)
{
    std::vector<fs::path> files;
    for (const auto& url : urls)
        if (auto path = PasteboardContent::localPath(url))
            files.push_back(std::move(*path));
    return files;
}

} // namespace

namespace TrayIngestion {

TrayMeasurement measure(const fs::path& directory, std::int64_t limit)
{
    TrayMeasurement measurement;
    std::error_code error;
    for (fs::directory_iterator it(directory, error), end; !error && it != end; it.increment(error))
        ++measurement.children;
    if (error)
        measurement.children = 0;

    std::vector<fs::directory_iterator> walk;
    walk.emplace_back(directory, error);
    if (error)
        return measurement;
    std::int64_t examined = 0;
    while (!walk.empty()) {
        auto& current = walk.back();
        if (current == fs::directory_iterator()) {
            walk.pop_back();
            continue;
        }
        const fs::path entry = current->path();
        current.increment(error);
        if (error) {
            // The rest of this folder cannot be listed; the walk goes on above.
            current = fs::directory_iterator();
            error.clear();
        }
        if (isHidden(entry))
            continue;
        if (++examined > limit)
            break;
        struct stat info {};
        if (::lstat(entry.c_str(), &info) != 0)
            continue;
        if (S_ISREG(info.st_mode)) {
            measurement.size += info.st_size;
        } else if (S_ISDIR(info.st_mode)) {
            fs::directory_iterator inside(entry, error);
            if (error)
                error.clear();
            else
                walk.push_back(std::move(inside));
        }
    }
    return measurement;
}

Expected<TrayItem, std::string> ingest(const fs::path& url, bool move, std::optional<Uuid> stackID,
                                       const fs::path& root, Date now)
{
    fs::path source = url.lexically_normal();
    if (!source.has_filename() && source.has_relative_path())
        source = source.parent_path();
    std::error_code error;
    source = fs::absolute(source, error);
    const std::string sourceName = source.filename().string();
    if (error || sourceName.empty() || sourceName == "." || sourceName == "..")
        return unexpected("Nothing to add at " + url.string() + ".");

    const std::string displayName = validUtf8(sourceName);
    const FileTree::Kind kind = FileTree::kind(source);
    if (kind == FileTree::Kind::missing)
        return unexpected(quoted(displayName) + " could not be found.");
    if (kind != FileTree::Kind::regularFile && kind != FileTree::Kind::directory)
        return unexpected(quoted(displayName) + " is " + FileTree::describe(kind)
                          + "; only files and folders can be added to the tray.");

    const Uuid id = Uuid::random();
    const fs::path folder = root / id.toString();
    fs::create_directories(folder, error);
    if (error)
        return unexpected("Couldn't make room in the tray for " + quoted(displayName) + ": " + error.message() + ".");
    const fs::path destination = folder / displayName;
    const auto taken = move ? FileTree::move(source, destination) : FileTree::copy(source, destination);
    if (!taken) {
        fs::remove_all(folder, error);
        return unexpected("Couldn't " + std::string(move ? "move " : "copy ") + quoted(displayName)
                          + " into the tray: " + taken.error() + ".");
    }

    TrayItem item;
    item.id = id;
    item.displayName = displayName;
    item.storedPath = destination.string();
    if (!move)
        item.originalPath = source.string();
    struct stat info {};
    const bool known = ::stat(destination.c_str(), &info) == 0;
    if (known && S_ISDIR(info.st_mode)) {
        const auto measured = measure(destination, measureLimit);
        item.byteSize = measured.size;
        item.childCount = measured.children;
        item.isDirectory = true;
    } else if (known) {
        item.byteSize = info.st_size;
    }
    if (auto bookmark = FileBookmark::create(destination))
        item.bookmark = std::move(*bookmark);
    item.utTypeIdentifier = known ? mimeTypeOf(destination, item.isDirectory) : std::string(TrayItem::genericType);
    item.addedAt = now;
    item.stackID = stackID;
    return item;
}

std::string pastedFileName(std::int64_t unixSeconds, std::string_view extension)
{
    return "Pasted " + formatInteger(unixSeconds) + std::string(extension);
}

PasteIntake readPasteboard(PasteboardReader& reader, std::int64_t unixSeconds, const fs::path& stagingRoot)
{
    const auto urls = PasteboardContent::urls(reader);
    if (!urls)
        return {};
    if (!urls->empty())
        return {PasteIntake::Kind::urls, localFiles(*urls), {}};

    const auto text = PasteboardContent::string(reader, maxPastedTextBytes);
    if (!text && text.error() == PasteboardDataError::timedOut)
        return {};
    if (text)
        if (const auto url = singleURL(*text))
            return {PasteIntake::Kind::urls, localFiles({*url}), {}};

    const auto image = PasteboardContent::imageData(reader, maxPastedImageBytes);
    if (!image && image.error() == PasteboardDataError::timedOut)
        return {};
    if (image) {
        ImageCodec::DecodeOptions options;
        options.encodingAs = ImageFormat::png;
        if (auto decoded = ImageCodec::decode(*image, options)) {
            ImageCodec::EncodeOptions encoding;
            encoding.format = ImageFormat::png;
            if (const auto png = ImageCodec::encode(std::move(decoded->image), encoding))
                return staged(stagingRoot, pastedFileName(unixSeconds, ".png"), *png);
        }
    }
    if (text && !text->empty())
        return staged(stagingRoot, pastedFileName(unixSeconds, ".txt"), *text);
    return {};
}

} // namespace TrayIngestion
