#pragma once
// The desktop's media keys as the key tap sees them, whichever window has the
// focus. Listening only observes the keys; intercepting takes them from the
// desktop, and for each press the handler's answer decides whether the key
// stays with us or goes on to the focused window as if we had never looked.
// The X11 backend grabs keys and reads raw XInput events; tests use
// FakeKeyTapBackend.

#include "VudeKit/Expected.h"

#include <cstdint>
#include <functional>
#include <vector>

/// A key symbol in the numbering X and xkbcommon share (XF86AudioRaiseVolume
/// is 0x1008FF13). Backends map symbols to the keys that carry them.
using KeySymbol = std::uint32_t;

/// The symbols of the keys a media-key tap watches.
namespace KeySymbols {
inline constexpr KeySymbol monBrightnessUp = 0x1008FF02;
inline constexpr KeySymbol monBrightnessDown = 0x1008FF03;
inline constexpr KeySymbol kbdBrightnessUp = 0x1008FF05;
inline constexpr KeySymbol kbdBrightnessDown = 0x1008FF06;
inline constexpr KeySymbol audioLowerVolume = 0x1008FF11;
inline constexpr KeySymbol audioMute = 0x1008FF12;
inline constexpr KeySymbol audioRaiseVolume = 0x1008FF13;
inline constexpr KeySymbol audioPlay = 0x1008FF14;
inline constexpr KeySymbol audioPrev = 0x1008FF16;
inline constexpr KeySymbol audioNext = 0x1008FF17;
inline constexpr KeySymbol audioPause = 0x1008FF31;
inline constexpr KeySymbol audioRewind = 0x1008FF3E;
inline constexpr KeySymbol audioForward = 0x1008FF97;
} // namespace KeySymbols

/// One press, auto-repeat or release of a watched key, with the modifiers held
/// at that moment.
struct KeyTapEvent {
    KeySymbol symbol = 0;
    bool isDown = false;
    /// A key-down made by holding the key, not by pressing it.
    bool isRepeat = false;
    bool isShiftHeld = false;
    bool isAltHeld = false;

    bool operator==(const KeyTapEvent&) const = default;
};

enum class KeyTapMode { listen, intercept };

enum class KeyTapError {
    /// The desktop's keys cannot be read here: no X server, one that lacks
    /// what the backend needs, or a connection that was lost.
    unavailable,
    /// Another program holds one of the keys exclusively, so they cannot be
    /// intercepted.
    keysTaken,
};

class KeyTapBackend {
public:
    /// Called on the main thread for each event of a watched key. While
    /// intercepting, the press waits for the answer: true keeps it from the
    /// focused window. The answer means nothing while listening.
    using Handler = std::function<bool(const KeyTapEvent&)>;

    virtual ~KeyTapBackend() = default;

    /// Starts delivering the events of the keys carrying `symbols`, stopping
    /// any earlier tap first. Fails as a whole: on an error nothing is taken.
    virtual Expected<void, KeyTapError> start(KeyTapMode mode, std::vector<KeySymbol> symbols, Handler handler) = 0;
    /// Stops delivering and lets go of every key; the handler is not called
    /// after this returns. Callable from inside the handler.
    virtual void stop() = 0;

    /// Whether a started tap still receives its keys. Something outside can
    /// take them away (a new keyboard layout moves keys, a lost connection).
    virtual bool isEnabled() const = 0;
    /// Takes the keys again for a started tap that lost them; nothing when
    /// stopped or still enabled.
    virtual void enable() = 0;
};
