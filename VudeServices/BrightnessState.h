#pragma once
// What the display-brightness service publishes, and the level rules both
// backlight services share.

#include "VudeKit/EnumTraits.h"

#include <optional>

struct BrightnessState {
    /// Which back end serves the level. The kernel's backlight reports itself
    /// as `displayServices`, the one back end that is ever chosen; `ioKit` is
    /// named but never chosen.
    enum class Source { displayServices, ioKit, unavailable };

    /// 0...1.
    double level = 0;
    bool isAvailable = false;
    Source source = Source::unavailable;

    bool operator==(const BrightnessState&) const = default;
};

template <>
struct EnumTraits<BrightnessState::Source> {
    using Source = BrightnessState::Source;
    static constexpr std::array cases{
        EnumCase{Source::displayServices, "displayServices"},
        EnumCase{Source::ioKit, "ioKit"},
        EnumCase{Source::unavailable, "unavailable"},
    };
};

/// The level when it is a finite number from 0 to 1 (-0 reads as 0); none
/// for NaN, infinities and anything out of range, which are never published,
/// stored or returned.
std::optional<double> validBacklightLevel(std::optional<double> level);

/// The level a set writes: below 0 and NaN give 0, above 1 gives 1.
double clampedBacklightLevel(double level);
