#pragma once
// Letter case for identifiers, extensions and system property values. Not
// std::tolower/std::toupper: they follow the C locale, which Qt takes from
// the user's, and in Turkish "I" does not lower to "i" (nor "i" rise to "I").

#include <string>
#include <string_view>

constexpr char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr char asciiUpper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

inline std::string asciiUppercased(std::string_view text)
{
    std::string result(text);
    for (auto& c : result)
        c = asciiUpper(c);
    return result;
}
