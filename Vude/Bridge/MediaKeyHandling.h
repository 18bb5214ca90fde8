#pragma once
// What the key handler decides for one media key, as pure functions: which
// key family a press stamps, which level it moves and by how much, and
// whether the press is kept from the desktop. The bridge reads the level,
// asks here, and carries out the answer.

#include "VudeServices/MediaKey.h"

#include <optional>
#include <string>
#include <string_view>

namespace MediaKeyHandling {

/// The key families the key intent records, by name.
inline constexpr std::string_view kBrightnessStamp = "brightness";
inline constexpr std::string_view kIlluminationStamp = "illumination";

/// What a key adjusts.
enum class Target { none, volume, brightness, illumination };

Target targetOf(MediaKey key);

/// The key-intent record a key-down stamps: "brightness", "illumination", or
/// none for every other key.
std::optional<std::string_view> stampOf(MediaKey key);

/// One press moves a level by 1/16, or by 1/64 with Shift and Option held.
double step(bool isFineAdjust);

/// The level to set for `event`, given the current level of its target (none
/// when the target cannot be read or set). None means the key is left to
/// the desktop: a key-up, mute, the transport keys, or a target that cannot
/// be adjusted. The result is not clamped; the services clamp.
std::optional<double> adjustedLevel(const MediaKeyEvent& event, std::optional<double> currentLevel);

/// "media key brightnessUp down=true fine=false".
std::string traceLine(const MediaKeyEvent& event);

} // namespace MediaKeyHandling
