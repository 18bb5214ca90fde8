#pragma once
// The keyboard's system keys the event tap decodes: volume, display
// brightness, keyboard illumination and media transport. Raw values are the
// key-type numbers the keys have always been stored and compared by; the
// trace writes the case names.

#include "Platform/Input/KeyTapBackend.h"
#include "VudeKit/EnumTraits.h"

#include <optional>
#include <span>
#include <vector>

enum class MediaKey {
    soundUp = 0,
    soundDown = 1,
    brightnessUp = 2,
    brightnessDown = 3,
    mute = 7,
    play = 16,
    next = 17,
    previous = 18,
    fast = 19,
    rewind = 20,
    illuminationUp = 21,
    illuminationDown = 22,
};

template <>
struct EnumTraits<MediaKey> {
    static constexpr std::array cases{
        EnumCase{MediaKey::soundUp, "soundUp"},
        EnumCase{MediaKey::soundDown, "soundDown"},
        EnumCase{MediaKey::brightnessUp, "brightnessUp"},
        EnumCase{MediaKey::brightnessDown, "brightnessDown"},
        EnumCase{MediaKey::mute, "mute"},
        EnumCase{MediaKey::play, "play"},
        EnumCase{MediaKey::next, "next"},
        EnumCase{MediaKey::previous, "previous"},
        EnumCase{MediaKey::fast, "fast"},
        EnumCase{MediaKey::rewind, "rewind"},
        EnumCase{MediaKey::illuminationUp, "illuminationUp"},
        EnumCase{MediaKey::illuminationDown, "illuminationDown"},
    };
};

/// The key of a key-type number; nothing for a number that names no key.
std::optional<MediaKey> mediaKeyFromRawValue(int rawValue);

constexpr bool isVolume(MediaKey key)
{
    return key == MediaKey::soundUp || key == MediaKey::soundDown || key == MediaKey::mute;
}
constexpr bool isBrightness(MediaKey key)
{
    return key == MediaKey::brightnessUp || key == MediaKey::brightnessDown;
}
constexpr bool isIllumination(MediaKey key)
{
    return key == MediaKey::illuminationUp || key == MediaKey::illuminationDown;
}
constexpr bool isTransport(MediaKey key)
{
    return key == MediaKey::play || key == MediaKey::next || key == MediaKey::previous || key == MediaKey::fast ||
           key == MediaKey::rewind;
}

/// The key whose symbol this is; nothing for any other key. Play and Pause
/// are both the play key: keyboards send either for their play/pause key.
std::optional<MediaKey> mediaKeyFromSymbol(KeySymbol symbol);
/// The symbols of every media key, volume up first (the one that shows
/// whether the keys are free to take).
std::span<const KeySymbol> mediaKeySymbols();
/// The symbols that carry `key` (play has two).
std::vector<KeySymbol> symbolsOf(MediaKey key);

/// One decoded key press, release or auto-repeat.
struct MediaKeyEvent {
    MediaKey key = MediaKey::soundUp;
    bool isDown = false;
    bool isRepeat = false;
    /// Shift and Option (Alt) both held: adjust in finer steps.
    bool isFineAdjust = false;

    /// The media key event of a tapped key; nothing when the key is none of
    /// the media keys.
    static std::optional<MediaKeyEvent> decode(const KeyTapEvent& event);

    bool operator==(const MediaKeyEvent&) const = default;
};
