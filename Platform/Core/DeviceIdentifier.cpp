#include "Platform/Core/DeviceIdentifier.h"

#include "Platform/Core/AtomicFile.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QMessageAuthenticationCode>

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>

#include <limits.h>
#include <unistd.h>

namespace {

constexpr const char* kFallbackName = "Mac";
// Keys the machine id so the suffix names this app's view of the machine, not
// the id itself (as systemd's app-specific ids do).
constexpr std::string_view kApplicationKey = "app.ruvudav.notch.device";
constexpr std::size_t kSuffixLength = 6;
constexpr std::uintmax_t kMaxSmallFile = 64 * 1024;

std::string_view trimmedWhitespace(std::string_view text)
{
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

/// One value of an environment-style file (KEY=value, the value optionally
/// in single or double quotes, backslash escapes inside double quotes).
std::string unquoted(std::string_view value)
{
    value = trimmedWhitespace(value);
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

std::string prettyHostName(const std::filesystem::path& root)
{
    const auto contents = AtomicFile::read(root / "etc/machine-info", kMaxSmallFile);
    if (!contents)
        return {};
    std::string_view rest = *contents;
    std::string found;
    while (!rest.empty()) {
        const auto end = rest.find('\n');
        const auto line = trimmedWhitespace(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        constexpr std::string_view key = "PRETTY_HOSTNAME=";
        if (line.substr(0, key.size()) == key)
            found = unquoted(line.substr(key.size())); // the last assignment wins, as in a shell
    }
    return std::string(trimmedWhitespace(found));
}

/// The 32 hex digits of a machine-id file, or empty when it holds none.
std::string machineID(const std::filesystem::path& root)
{
    for (const auto* file : {"etc/machine-id", "var/lib/dbus/machine-id"}) {
        const auto contents = AtomicFile::read(root / file, kMaxSmallFile);
        if (!contents)
            continue;
        const auto id = trimmedWhitespace(*contents);
        const bool valid = id.size() == 32
            && std::all_of(id.begin(), id.end(), [](unsigned char c) { return std::isxdigit(c) != 0; })
            && id.find_first_not_of('0') != std::string_view::npos;
        if (valid)
            return std::string(id);
    }
    return {};
}

std::string suffixFor(const std::string& id)
{
    const QByteArray key = QByteArray::fromHex(QByteArray::fromStdString(id));
    const QByteArray digest = QMessageAuthenticationCode::hash(
        QByteArray(kApplicationKey.data(), static_cast<qsizetype>(kApplicationKey.size())), key,
        QCryptographicHash::Sha256);
    return digest.toHex().left(kSuffixLength).toStdString();
}

} // namespace

namespace DeviceIdentifier {

std::string systemHostName()
{
    std::array<char, HOST_NAME_MAX + 1> name{};
    if (gethostname(name.data(), name.size() - 1) != 0)
        return {};
    return std::string(trimmedWhitespace(name.data()));
}

std::string machineTag(const Sources& sources)
{
    const auto id = machineID(sources.root);
    return id.empty() ? std::string() : suffixFor(id);
}

std::string current(const Sources& sources)
{
    std::string name = prettyHostName(sources.root);
    if (name.empty())
        name = sources.hostName ? std::string(trimmedWhitespace(sources.hostName())) : systemHostName();
    if (name.empty())
        name = kFallbackName;
    const auto id = machineID(sources.root);
    if (id.empty())
        return name;
    return name + " (" + suffixFor(id) + ")";
}

} // namespace DeviceIdentifier
