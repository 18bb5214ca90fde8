#include "Platform/Core/ZipArchive.h"

#include "VudeKit/AsciiCase.h"

#include <algorithm>
#include <array>
#include <set>

// Kept apart from the archive code: the module builds these in too.

namespace {

std::string asciiLowercased(std::string text)
{
    for (char& c : text)
        c = asciiLower(c);
    return text;
}

} // namespace

namespace ZipArchive {

std::optional<std::vector<std::string>> entryComponents(std::string_view path)
{
    if (!path.empty() && path.front() == '/')
        return std::nullopt;
    std::vector<std::string> components;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t slash = std::min(path.find('/', start), path.size());
        const std::string_view part = path.substr(start, slash - start);
        start = slash + 1;
        if (part.empty() || part == ".")
            continue;
        if (part == "..")
            return std::nullopt;
        components.emplace_back(part);
    }
    return components;
}

bool isCompressedAlready(std::string_view name, std::string_view head)
{
    static const std::set<std::string> extensions{
        "jpg", "jpeg", "png",  "gif",  "webp", "heic", "heif", "avif", "jxl",  "mp3",  "m4a",  "aac",
        "ogg", "oga",  "opus", "flac", "mp4",  "m4v",  "mov",  "mkv",  "webm", "avi",  "zip",  "gz",
        "tgz", "bz2",  "xz",   "txz",  "zst",  "7z",   "rar",  "lz4",  "lzma", "br",   "jar",  "apk",
        "docx", "xlsx", "pptx", "odt", "ods",  "odp",  "epub", "deb",  "rpm",  "dmg",
    };
    const std::size_t point = name.rfind('.');
    if (point != std::string_view::npos && point + 1 < name.size()
        && extensions.count(asciiLowercased(std::string(name.substr(point + 1)))))
        return true;

    const auto startsWith = [head](std::string_view magic) { return head.substr(0, magic.size()) == magic; };
    static constexpr std::array<std::string_view, 12> signatures{
        std::string_view("\xFF\xD8\xFF", 3),         std::string_view("\x89PNG", 4),
        std::string_view("GIF8", 4),                 std::string_view("PK\x03\x04", 4),
        std::string_view("\x1F\x8B", 2),             std::string_view("BZh", 3),
        std::string_view("\xFD" "7zXZ\x00", 6),      std::string_view("\x28\xB5\x2F\xFD", 4),
        std::string_view("7z\xBC\xAF\x27\x1C", 6),   std::string_view("Rar!", 4),
        std::string_view("OggS", 4),                 std::string_view("fLaC", 4),
    };
    if (std::any_of(signatures.begin(), signatures.end(), startsWith))
        return true;
    // RIFF....WEBP, and the ISO media family (MP4, MOV, HEIC, AVIF): "....ftyp".
    if (head.size() >= 12 && head.substr(0, 4) == "RIFF" && head.substr(8, 4) == "WEBP")
        return true;
    if (head.size() >= 8 && head.substr(4, 4) == "ftyp")
        return true;
    return startsWith(std::string_view("\x1A\x45\xDF\xA3", 4)); // Matroska, WebM
}

} // namespace ZipArchive
