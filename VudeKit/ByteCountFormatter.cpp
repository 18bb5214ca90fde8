#include "VudeKit/ByteCountFormatter.h"

#include "VudeKit/Numbers.h"

#include <array>

namespace {

struct Unit {
    const char* name;
    int decimals;
};

constexpr std::array<Unit, 6> kUnits{{
    {"KB", 0}, {"MB", 1}, {"GB", 2}, {"TB", 2}, {"PB", 2}, {"EB", 2},
}};

using Wide = unsigned __int128;

// `scaled` hundredths or tenths as text: 123 with 2 decimals → "1.23",
// 120 → "1.2", 100 → "1".
std::string withDecimals(std::uint64_t scaled, int decimals)
{
    std::uint64_t divisor = 1;
    for (int i = 0; i < decimals; ++i)
        divisor *= 10;
    std::string text = formatInteger(static_cast<std::int64_t>(scaled / divisor));
    std::uint64_t fraction = scaled % divisor;
    int digits = decimals;
    while (digits > 0 && fraction % 10 == 0) {
        fraction /= 10;
        --digits;
    }
    if (digits == 0)
        return text;
    std::string fractionText = formatInteger(static_cast<std::int64_t>(fraction));
    fractionText.insert(0, static_cast<std::size_t>(digits) - fractionText.size(), '0');
    return text + "." + fractionText;
}

std::string formatMagnitude(std::uint64_t bytes)
{
    if (bytes == 1)
        return "1 byte";
    if (bytes < 1000)
        return formatInteger(static_cast<std::int64_t>(bytes)) + " bytes";
    Wide divisor = 1;
    for (std::size_t i = 0; i < kUnits.size(); ++i) {
        divisor *= 1000;
        Wide decimalScale = 1;
        for (int d = 0; d < kUnits[i].decimals; ++d)
            decimalScale *= 10;
        // Rounded half up, in integers: exact for every 64-bit count.
        const Wide scaled = (Wide(bytes) * decimalScale * 2 + divisor) / (divisor * 2);
        if (scaled < 1000 * decimalScale || i + 1 == kUnits.size())
            return withDecimals(static_cast<std::uint64_t>(scaled), kUnits[i].decimals) + " " + kUnits[i].name;
    }
    return {};
}

} // namespace

std::string formatFileByteCount(std::int64_t byteCount)
{
    if (byteCount == 0)
        return "Zero KB";
    if (byteCount < 0)
        return "-" + formatMagnitude(0 - static_cast<std::uint64_t>(byteCount));
    return formatMagnitude(static_cast<std::uint64_t>(byteCount));
}
