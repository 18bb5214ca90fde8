#pragma once
// A player's shuffle setting, as the now-playing adapter reports it and as a
// media command sets it. Stored as its raw text; a text that is none of the
// four gives no mode at all, and `unknown` is only what "unknown" gives.

#include "VudeKit/EnumTraits.h"

enum class ShuffleMode { off, items, collections, unknown };

template <>
struct EnumTraits<ShuffleMode> {
    static constexpr std::array cases{
        EnumCase{ShuffleMode::off, "off"},
        EnumCase{ShuffleMode::items, "items"},
        EnumCase{ShuffleMode::collections, "collections"},
        EnumCase{ShuffleMode::unknown, "unknown"},
    };
};
