#include "VudeServices/ShortcutRunURL.h"

#include <string_view>
#include <vector>

namespace {

constexpr std::string_view kPrefix = "shortcuts://run-shortcut";

bool isKeptRaw(char c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    return std::string_view("-._~!$'()*,;:@/?").find(c) != std::string_view::npos;
}

std::string encoded(std::string_view text)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string result;
    result.reserve(text.size());
    for (const char c : text) {
        if (isKeptRaw(c)) {
            result += c;
            continue;
        }
        const auto byte = static_cast<unsigned char>(c);
        result += '%';
        result += hex[byte >> 4];
        result += hex[byte & 0x0F];
    }
    return result;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::optional<std::string> decoded(std::string_view text)
{
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            result += text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        const int high = hexValue(text[i + 1]);
        const int low = hexValue(text[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        result += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return result;
}

} // namespace

namespace ShortcutRunURL {

std::string make(std::string_view name, const std::optional<std::string>& textInput)
{
    std::string url(kPrefix);
    url += "?name=";
    url += encoded(name);
    if (textInput && !textInput->empty()) {
        url += "&input=text&text=";
        url += encoded(*textInput);
    }
    return url;
}

std::optional<Request> parse(std::string_view url)
{
    if (!url.starts_with(kPrefix))
        return std::nullopt;
    url.remove_prefix(kPrefix.size());
    if (!url.starts_with('?'))
        return std::nullopt;
    url.remove_prefix(1);

    std::optional<std::string> name;
    std::optional<std::string> input;
    std::optional<std::string> text;
    for (;;) {
        const auto end = url.find('&');
        const std::string_view item = url.substr(0, end);
        const auto equals = item.find('=');
        const auto key = decoded(item.substr(0, equals));
        const auto value = decoded(equals == std::string_view::npos ? std::string_view() : item.substr(equals + 1));
        if (!key || !value)
            return std::nullopt;
        // The first of each item counts.
        if (*key == "name" && !name)
            name = *value;
        else if (*key == "input" && !input)
            input = *value;
        else if (*key == "text" && !text)
            text = *value;
        if (end == std::string_view::npos)
            break;
        url.remove_prefix(end + 1);
    }
    if (!name || name->empty())
        return std::nullopt;
    Request request{*name, std::nullopt};
    if (input == "text" && text)
        request.text = *text;
    return request;
}

} // namespace ShortcutRunURL
