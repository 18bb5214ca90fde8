#pragma once
// The URL that asks for a shortcut to run:
//   shortcuts://run-shortcut?name=<name>[&input=text&text=<text>]
// Names and values are percent-encoded: every byte but letters, digits and
// -._~!$'()*,;:@/? is escaped, so "&", "=", "+", "#" and "%" inside a name
// never split or change it. The app opens it itself (ShortcutsService).

#include <optional>
#include <string>
#include <string_view>

namespace ShortcutRunURL {

/// The URL for the shortcut `name`; the input items only when `textInput`
/// is present and not empty (a single space is sent).
std::string make(std::string_view name, const std::optional<std::string>& textInput);

struct Request {
    std::string name;
    /// The text input; none when the URL carries no "input=text" with a
    /// "text" item.
    std::optional<std::string> text;

    friend bool operator==(const Request&, const Request&) = default;
};

/// What a run URL asks for; none for another scheme or host, a missing or
/// empty name, or a broken escape.
std::optional<Request> parse(std::string_view url);

} // namespace ShortcutRunURL
