#include "Platform/Core/SystemDescription.h"

#include "Platform/Core/AtomicFile.h"

#include <sys/utsname.h>

#include <optional>
#include <string_view>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr std::uintmax_t kMaxOsReleaseBytes = 64 * 1024;
// dpkg's list of a package's files; Vude's is a few dozen lines.
constexpr std::uintmax_t kMaxFileListBytes = 4 * 1024 * 1024;

std::string_view trimmed(std::string_view text)
{
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

// One value of os-release: shell-style, optionally quoted; backslash escapes
// inside double quotes.
std::string unquoted(std::string_view value)
{
    value = trimmed(value);
    if (value.size() >= 2 && value.front() == '\'' && value.back() == '\'')
        return std::string(value.substr(1, value.size() - 2));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        std::string result;
        const auto inner = value.substr(1, value.size() - 2);
        for (std::size_t i = 0; i < inner.size(); ++i) {
            if (inner[i] == '\\' && i + 1 < inner.size())
                ++i;
            result += inner[i];
        }
        return result;
    }
    return std::string(value);
}

// The report is plain text read in a terminal or an editor: nothing in it
// may move the cursor or start a new line.
std::string printable(std::string text)
{
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    return std::string(trimmed(text));
}

std::optional<std::string> valueOf(std::string_view contents, std::string_view key)
{
    std::optional<std::string> found;
    while (!contents.empty()) {
        const auto end = contents.find('\n');
        const auto line = trimmed(contents.substr(0, end));
        contents = end == std::string_view::npos ? std::string_view() : contents.substr(end + 1);
        if (line.size() > key.size() && line.starts_with(key) && line[key.size()] == '=')
            found = unquoted(line.substr(key.size() + 1)); // the last assignment wins, as in a shell
    }
    return found;
}

bool listsFile(const fs::path& list, const std::string& file)
{
    const auto contents = AtomicFile::read(list, kMaxFileListBytes);
    if (!contents)
        return false;
    std::string_view rest = *contents;
    while (!rest.empty()) {
        const auto end = rest.find('\n');
        if (trimmed(rest.substr(0, end)) == file)
            return true;
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    return false;
}

} // namespace

namespace SystemDescription {

std::string kernelRelease()
{
    utsname names{};
    if (::uname(&names) != 0)
        return {};
    return printable(names.release);
}

std::string operatingSystemName(const fs::path& root)
{
    for (const char* file : {"etc/os-release", "usr/lib/os-release"}) {
        const auto contents = AtomicFile::read(root / file, kMaxOsReleaseBytes);
        if (!contents)
            continue;
        if (auto pretty = valueOf(*contents, "PRETTY_NAME"); pretty && !printable(*pretty).empty())
            return printable(*pretty);
        auto name = printable(valueOf(*contents, "NAME").value_or(""));
        const auto version = printable(valueOf(*contents, "VERSION").value_or(""));
        if (!name.empty())
            return version.empty() ? name : name + " " + version;
        // A file without a name: the next one may have it.
    }
    return "Linux";
}

std::string systemRow(const fs::path& root, const std::string& kernel)
{
    const std::string name = operatingSystemName(root);
    const std::string release = printable(kernel);
    return release.empty() ? name : name + ", " + release;
}

Installation installation(const fs::path& executable, const fs::path& root)
{
    // dpkg names the list "<package>.list", or "<package>:<arch>.list" for a
    // package of one architecture among several.
    const fs::path info = root / "var/lib/dpkg/info";
    // dpkg lists paths as installed on the system `root` stands for.
    const fs::path inRoot = executable.lexically_relative(root);
    const std::string file = inRoot.empty() || *inRoot.begin() == ".." ? executable.generic_string()
                                                                       : "/" + inRoot.generic_string();
    const std::string plain = std::string(kPackageName) + ".list";
    const std::string qualified = std::string(kPackageName) + ":";
    std::error_code error;
    for (fs::directory_iterator it(info, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        const bool ours = name == plain || (name.starts_with(qualified) && name.ends_with(".list"));
        if (ours && listsFile(it->path(), file))
            return Installation::debianPackage;
    }
    // A build tree has its CMakeCache.txt above the program (<build>/Vude/vude,
    // <build>/tests/Vude/VudeTests); an installation has none.
    for (fs::path folder = executable.parent_path(); !folder.empty(); folder = folder.parent_path()) {
        if (fs::is_regular_file(folder / "CMakeCache.txt", error))
            return Installation::buildTree;
        if (folder == folder.root_path() || folder == root)
            break;
    }
    return Installation::installedFromSource;
}

} // namespace SystemDescription
