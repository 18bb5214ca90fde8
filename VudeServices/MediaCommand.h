#pragma once
// A request to the player: what the views ask for and the now-playing source
// carries out, each as one invocation of the adapter.

#include "VudeServices/RepeatMode.h"
#include "VudeServices/ShuffleMode.h"

#include <string>
#include <variant>
#include <vector>

class MediaCommand {
public:
    enum class Kind { seek, shuffle, repeatMode, speed, play, pause, toggle, next, previous };

    /// To an absolute position, in seconds.
    static MediaCommand seek(double seconds) { return MediaCommand(Kind::seek, seconds); }
    static MediaCommand shuffle(ShuffleMode mode) { return MediaCommand(Kind::shuffle, mode); }
    static MediaCommand repeatMode(RepeatMode mode) { return MediaCommand(Kind::repeatMode, mode); }
    /// To a playback rate (1 is normal speed).
    static MediaCommand speed(double rate) { return MediaCommand(Kind::speed, rate); }
    static MediaCommand play() { return MediaCommand(Kind::play, {}); }
    static MediaCommand pause() { return MediaCommand(Kind::pause, {}); }
    /// Play when paused, pause when playing.
    static MediaCommand toggle() { return MediaCommand(Kind::toggle, {}); }
    static MediaCommand next() { return MediaCommand(Kind::next, {}); }
    static MediaCommand previous() { return MediaCommand(Kind::previous, {}); }

    Kind kind() const { return m_kind; }
    /// The seek target or the rate; 0 for the other kinds.
    double number() const;
    /// The mode of a shuffle command; `off` for the other kinds.
    ShuffleMode shuffleMode() const;
    /// The mode of a repeat command; `off` for the other kinds.
    RepeatMode repeat() const;

    /// What the adapter is given after its script and framework paths:
    /// "send" and the command's number for the transport commands, "seek"
    /// with the seconds to three decimals, "speed" with the rate to two,
    /// "shuffle" or "repeat" with the mode's raw text. Numbers are written
    /// with a '.' whatever the user's locale.
    std::vector<std::string> adapterArguments() const;

    bool operator==(const MediaCommand&) const = default;

private:
    using Payload = std::variant<std::monostate, double, ShuffleMode, RepeatMode>;
    MediaCommand(Kind kind, Payload payload) : m_kind(kind), m_payload(payload) {}

    Kind m_kind;
    Payload m_payload;
};
