#include "Platform/Desktop/Pasteboard.h"

#include "VudeKit/AsciiCase.h"

#include <QString>
#include <QUrl>

#include <algorithm>
#include <array>

namespace PasteboardContent {

namespace {

// A URI list names files, not their contents: anything this large is not one.
constexpr std::size_t kMaxURIListBytes = std::size_t(16) << 20;

enum class TextEncoding { utf8, latin1 };

struct TextType {
    std::string_view name;
    TextEncoding encoding;
};

// Best first. Plain "text/plain" carries no charset; on Linux it is UTF-8.
constexpr std::array kTextTypes{
    TextType{"text/plain;charset=utf-8", TextEncoding::utf8},
    TextType{"UTF8_STRING", TextEncoding::utf8},
    TextType{"text/plain", TextEncoding::utf8},
    TextType{"STRING", TextEncoding::latin1},
};

constexpr std::array<std::string_view, 8> kImageTypes{
    "image/png", "image/tiff", "image/bmp", "image/x-bmp", "image/jpeg", "image/webp", "image/gif", "image/heic",
};

// The offered name matching `wanted`: exactly, or, for MIME types, ignoring
// case and blanks around ";" (owners write "text/plain; charset=UTF-8").
std::string normalizedType(std::string_view type)
{
    std::string result;
    for (const char c : type)
        if (c != ' ')
            result += c;
    if (result.find('/') != std::string::npos)
        for (auto& c : result)
            c = asciiLower(c);
    return result;
}

// The names to ask for, in our order: those on offer when the owner lists
// its types, every candidate when it does not.
template <typename Candidates, typename NameOf>
std::vector<std::pair<std::string, std::size_t>> pick(const std::optional<std::vector<std::string>>& offered,
                                                      const Candidates& candidates, NameOf nameOf)
{
    std::vector<std::pair<std::string, std::size_t>> result;
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        const std::string wanted(nameOf(candidates[i]));
        if (!offered) {
            result.emplace_back(wanted, i);
            continue;
        }
        const auto found = std::find_if(offered->begin(), offered->end(), [&](const std::string& type) {
            return normalizedType(type) == normalizedType(wanted);
        });
        if (found != offered->end())
            result.emplace_back(*found, i);
    }
    return result;
}

std::string toUtf8(const std::string& bytes, TextEncoding encoding)
{
    const QString text = encoding == TextEncoding::latin1
                             ? QString::fromLatin1(bytes.data(), qsizetype(bytes.size()))
                             : QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    return text.toStdString();
}

} // namespace

Expected<std::string, PasteboardDataError> string(PasteboardReader& reader, std::size_t maxBytes)
{
    const auto offered = reader.types();
    bool tooLarge = false;
    for (const auto& [name, index] : pick(offered, kTextTypes, [](const TextType& t) { return t.name; })) {
        auto bytes = reader.data(name, maxBytes);
        if (!bytes) {
            if (bytes.error() == PasteboardDataError::timedOut)
                return unexpected(PasteboardDataError::timedOut);
            tooLarge = tooLarge || bytes.error() == PasteboardDataError::tooLarge;
            continue;
        }
        std::string text = toUtf8(*bytes, kTextTypes[index].encoding);
        if (text.size() > maxBytes)
            return unexpected(PasteboardDataError::tooLarge);
        return text;
    }
    return unexpected(tooLarge ? PasteboardDataError::tooLarge : PasteboardDataError::missing);
}

Expected<std::vector<std::string>, PasteboardDataError> urls(PasteboardReader& reader)
{
    const auto offered = reader.types();
    const std::array<std::string_view, 2> listTypes{uriListType, gnomeCopiedFilesType};
    for (const auto& [name, index] : pick(offered, listTypes, [](std::string_view t) { return t; })) {
        auto bytes = reader.data(name, kMaxURIListBytes);
        if (!bytes) {
            if (bytes.error() == PasteboardDataError::timedOut)
                return unexpected(PasteboardDataError::timedOut);
            continue;
        }
        std::string_view body = *bytes;
        if (index == 1) {
            // The first line says whether the files were copied or cut.
            const auto lineEnd = body.find('\n');
            body = lineEnd == std::string_view::npos ? std::string_view() : body.substr(lineEnd + 1);
        }
        auto list = parseURIList(body);
        if (!list.empty())
            return list;
    }
    return std::vector<std::string>();
}

Expected<std::vector<std::filesystem::path>, PasteboardDataError> fileURLs(PasteboardReader& reader)
{
    auto list = urls(reader);
    if (!list)
        return unexpected(list.error());
    std::vector<std::filesystem::path> paths;
    for (const auto& url : *list)
        if (auto path = localPath(url))
            paths.push_back(std::move(*path));
    return paths;
}

Expected<std::string, PasteboardDataError> imageData(PasteboardReader& reader, std::size_t maxBytes)
{
    const auto offered = reader.types();
    bool tooLarge = false;
    for (const auto& [name, index] : pick(offered, kImageTypes, [](std::string_view t) { return t; })) {
        auto bytes = reader.data(name, maxBytes);
        if (bytes && !bytes->empty())
            return bytes;
        if (!bytes && bytes.error() == PasteboardDataError::timedOut)
            return unexpected(PasteboardDataError::timedOut);
        tooLarge = tooLarge || (!bytes && bytes.error() == PasteboardDataError::tooLarge);
    }
    return unexpected(tooLarge ? PasteboardDataError::tooLarge : PasteboardDataError::missing);
}

std::vector<std::string> parseURIList(std::string_view body)
{
    std::vector<std::string> result;
    while (!body.empty()) {
        const auto end = body.find('\n');
        std::string_view line = body.substr(0, end);
        body = end == std::string_view::npos ? std::string_view() : body.substr(end + 1);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\0'))
            line.remove_suffix(1);
        while (!line.empty() && line.front() == ' ')
            line.remove_prefix(1);
        if (line.empty() || line.front() == '#')
            continue;
        result.emplace_back(line);
    }
    return result;
}

std::optional<std::filesystem::path> localPath(std::string_view url)
{
    const QUrl parsed(QString::fromUtf8(url.data(), qsizetype(url.size())), QUrl::TolerantMode);
    if (!parsed.isValid() || parsed.scheme() != QLatin1String("file"))
        return std::nullopt;
    const QString host = parsed.host();
    if (!host.isEmpty() && host != QLatin1String("localhost"))
        return std::nullopt;
    std::string path = parsed.path(QUrl::FullyDecoded).toStdString();
    if (path.empty() || path.front() != '/')
        return std::nullopt;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return std::filesystem::path(path);
}

std::string fileURL(const std::filesystem::path& path)
{
    return QUrl::fromLocalFile(QString::fromStdString(path.string())).toEncoded().toStdString();
}

} // namespace PasteboardContent
