#pragma once
// How long keep-awake lasts, stored by its case name.

#include "VudeKit/EnumTraits.h"

#include <optional>

enum class KeepAwakeDuration { indefinite, thirtyMinutes, oneHour, twoHours };

template <>
struct EnumTraits<KeepAwakeDuration> {
    using D = KeepAwakeDuration;
    static constexpr std::array cases{
        EnumCase{D::indefinite, "indefinite"},
        EnumCase{D::thirtyMinutes, "thirtyMinutes"},
        EnumCase{D::oneHour, "oneHour"},
        EnumCase{D::twoHours, "twoHours"},
    };
};

/// The length in seconds; none for `indefinite`.
constexpr std::optional<int> seconds(KeepAwakeDuration duration)
{
    switch (duration) {
    case KeepAwakeDuration::indefinite:
        return std::nullopt;
    case KeepAwakeDuration::thirtyMinutes:
        return 1800;
    case KeepAwakeDuration::oneHour:
        return 3600;
    case KeepAwakeDuration::twoHours:
        return 7200;
    }
    return std::nullopt;
}
