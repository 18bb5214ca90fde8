#pragma once
// A player's repeat setting, as the now-playing adapter reports it and as a
// media command sets it. Stored as its raw text; a text that is none of the
// four gives no mode at all, and `unknown` is only what "unknown" gives.

#include "VudeKit/EnumTraits.h"

enum class RepeatMode { off, one, all, unknown };

template <>
struct EnumTraits<RepeatMode> {
    static constexpr std::array cases{
        EnumCase{RepeatMode::off, "off"},
        EnumCase{RepeatMode::one, "one"},
        EnumCase{RepeatMode::all, "all"},
        EnumCase{RepeatMode::unknown, "unknown"},
    };
};
