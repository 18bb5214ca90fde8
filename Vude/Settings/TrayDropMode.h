#pragma once
// What happens to the original file when one lands in the tray or is dragged
// off it: copied (the original stays) or moved (it goes). Stored and matched
// by case name.

#include "VudeKit/EnumTraits.h"

#include <string_view>

enum class TrayDropMode { copy, move };

template <>
struct EnumTraits<TrayDropMode> {
    static constexpr std::array cases{
        EnumCase{TrayDropMode::copy, "copy", "Copy"},
        EnumCase{TrayDropMode::move, "move", "Move"},
    };
};

/// The line under the mode's title ("keep the original").
constexpr std::string_view subtitle(TrayDropMode mode)
{
    return mode == TrayDropMode::move ? "remove the original" : "keep the original";
}
