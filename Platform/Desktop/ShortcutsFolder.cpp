#include "Platform/Desktop/ShortcutsFolder.h"

#include "Platform/Core/XdgPaths.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// The length of the well-formed UTF-8 sequence at `i` (no stray
// continuation byte, overlong form, surrogate or code point beyond
// U+10FFFF), or 0 when there is none; `codePoint` receives its value.
std::size_t utf8SequenceAt(std::string_view text, std::size_t i, char32_t& codePoint)
{
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80)
            return 0;
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    const char32_t smallest = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
    if (codePoint < smallest || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return 0;
    return length;
}

bool isUtf8(std::string_view text)
{
    char32_t codePoint = 0;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = utf8SequenceAt(text, i, codePoint);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

void appendHexEscape(std::string& out, unsigned char byte)
{
    static constexpr char digits[] = "0123456789abcdef";
    out += "\\x";
    out += digits[byte >> 4];
    out += digits[byte & 0xF];
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// A visible, executable file (symlinks followed): what the listing shows.
bool isShortcut(const fs::path& folder, const std::string& name)
{
    if (!ShortcutsFolder::isAcceptableName(name) || name.front() == '.')
        return false;
    const fs::path file = folder / name;
    struct stat status {};
    if (::stat(file.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        return false;
    return ::access(file.c_str(), X_OK) == 0;
}

} // namespace

namespace ShortcutsFolder {

fs::path directory(const Environment::Lookup& environment)
{
    return XdgPaths::applicationSupport(environment) / kFolderName;
}

bool isAcceptableName(std::string_view name)
{
    if (name.empty() || name == "." || name == "..")
        return false;
    if (isBlank(name.front()) || isBlank(name.back()))
        return false;
    const bool hasControl = std::any_of(name.begin(), name.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F || c == '/';
    });
    return !hasControl && isUtf8(name);
}

std::string escaped(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        char32_t codePoint = 0;
        const std::size_t length = utf8SequenceAt(text, i, codePoint);
        if (length == 0) {
            appendHexEscape(out, static_cast<unsigned char>(text[i]));
            ++i;
            continue;
        }
        const bool isControl = codePoint < 0x20 || (codePoint >= 0x7F && codePoint <= 0x9F);
        if (codePoint == '\\' || codePoint == '"') {
            out += '\\';
            out += static_cast<char>(codePoint);
        } else if (codePoint == '\n') {
            out += "\\n";
        } else if (codePoint == '\t') {
            out += "\\t";
        } else if (codePoint == '\r') {
            out += "\\r";
        } else if (isControl) {
            for (std::size_t k = 0; k < length; ++k)
                appendHexEscape(out, static_cast<unsigned char>(text[i + k]));
        } else {
            out.append(text.substr(i, length));
        }
        i += length;
    }
    return out;
}

Expected<std::vector<std::string>, std::string> list(const fs::path& folder)
{
    DIR* stream = ::opendir(folder.c_str());
    if (!stream) {
        if (errno == ENOENT)
            return std::vector<std::string>{};
        return unexpected(folder.string() + ": " + std::strerror(errno));
    }
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(stream)) {
        std::string name = entry->d_name;
        if (isShortcut(folder, name))
            names.push_back(std::move(name));
    }
    ::closedir(stream);
    std::sort(names.begin(), names.end());
    return names;
}

std::optional<fs::path> find(const fs::path& folder, std::string_view name)
{
    const std::string text(name);
    if (!isShortcut(folder, text))
        return std::nullopt;
    return folder / text;
}

} // namespace ShortcutsFolder
