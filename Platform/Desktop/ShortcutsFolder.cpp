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

// Well-formed UTF-8: no stray continuation bytes, overlong forms, surrogates
// or code points beyond U+10FFFF.
bool isUtf8(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = 0;
        char32_t codePoint = 0;
        if (lead < 0x80) {
            ++i;
            continue;
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
            return false;
        }
        if (i + length > text.size())
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            codePoint = (codePoint << 6) | (next & 0x3F);
        }
        const char32_t smallest = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
        if (codePoint < smallest || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
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
