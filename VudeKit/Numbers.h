#pragma once
// Locale-independent number formatting and saturating conversions from
// floating point. Casting NaN or an out-of-range double to an integer is
// undefined behaviour in C++, so every such conversion goes through here.

#include <cmath>
#include <concepts>
#include <cstdint>
#include <limits>
#include <string>

/// Truncates toward zero. NaN gives 0; values beyond the type's range give its
/// minimum or maximum (infinities included).
template <std::integral I>
constexpr I saturatingCast(double value)
{
    if (std::isnan(value))
        return 0;
    // Compare in double: the limits are exact powers of two (minus one for the
    // maximum, which rounds up to 2^N), so ">=" catches everything too large.
    constexpr double upper = static_cast<double>(std::numeric_limits<I>::max());
    constexpr double lower = static_cast<double>(std::numeric_limits<I>::min());
    if (value >= upper)
        return std::numeric_limits<I>::max();
    if (value <= lower)
        return std::numeric_limits<I>::min();
    return static_cast<I>(value);
}

/// Rounds to the nearest integer, halves away from zero, then saturates as
/// saturatingCast does.
template <std::integral I>
constexpr I saturatingRound(double value)
{
    if (std::isnan(value))
        return 0;
    return saturatingCast<I>(std::round(value));
}

/// Clamps to [lower, upper]; NaN gives `lower`.
constexpr double clampedOrLower(double value, double lower, double upper)
{
    if (std::isnan(value) || value < lower)
        return lower;
    return value > upper ? upper : value;
}

/// `value` with exactly `decimals` digits after the point ("%.3f"), always with
/// a '.' whatever the user's locale. NaN and infinities read "nan", "inf", "-inf".
std::string formatFixed(double value, int decimals);

/// An integer in decimal ("%d"), locale-independent.
std::string formatInteger(std::int64_t value);

/// The shortest text that reads back as the same double ("%g"-like), '.' as
/// the decimal point.
std::string formatShortest(double value);
