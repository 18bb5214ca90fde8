#include "Vude/Bridge/MediaKeyHandling.h"

namespace MediaKeyHandling {

Target targetOf(MediaKey key)
{
    switch (key) {
    case MediaKey::soundUp:
    case MediaKey::soundDown:
        return Target::volume;
    case MediaKey::brightnessUp:
    case MediaKey::brightnessDown:
        return Target::brightness;
    case MediaKey::illuminationUp:
    case MediaKey::illuminationDown:
        return Target::illumination;
    case MediaKey::mute:
    case MediaKey::play:
    case MediaKey::next:
    case MediaKey::previous:
    case MediaKey::fast:
    case MediaKey::rewind:
        break;
    }
    return Target::none;
}

std::optional<std::string_view> stampOf(MediaKey key)
{
    if (isBrightness(key))
        return kBrightnessStamp;
    if (isIllumination(key))
        return kIlluminationStamp;
    return std::nullopt;
}

double step(bool isFineAdjust)
{
    return isFineAdjust ? 1.0 / 64 : 1.0 / 16;
}

std::optional<double> adjustedLevel(const MediaKeyEvent& event, std::optional<double> currentLevel)
{
    if (!event.isDown || targetOf(event.key) == Target::none || !currentLevel)
        return std::nullopt;
    const bool up = event.key == MediaKey::soundUp || event.key == MediaKey::brightnessUp
        || event.key == MediaKey::illuminationUp;
    const double delta = step(event.isFineAdjust);
    return up ? *currentLevel + delta : *currentLevel - delta;
}

std::string traceLine(const MediaKeyEvent& event)
{
    return "media key " + std::string(rawValue(event.key)) + " down=" + (event.isDown ? "true" : "false")
        + " fine=" + (event.isFineAdjust ? "true" : "false");
}

} // namespace MediaKeyHandling
