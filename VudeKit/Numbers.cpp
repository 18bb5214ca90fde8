#include "VudeKit/Numbers.h"

#include <array>
#include <charconv>

namespace {

template <typename... Args>
std::string toChars(Args... args)
{
    std::array<char, 400> buffer{}; // wide enough for any fixed double up to 40 decimals
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), args...);
    if (result.ec != std::errc{})
        return {};
    return std::string(buffer.data(), result.ptr);
}

} // namespace

std::string formatFixed(double value, int decimals)
{
    if (decimals < 0)
        decimals = 0;
    if (decimals > 40)
        decimals = 40;
    return toChars(value, std::chars_format::fixed, decimals);
}

std::string formatInteger(std::int64_t value)
{
    return toChars(value);
}

std::string formatShortest(double value)
{
    return toChars(value);
}
