#pragma once
// What one invocation of the adapter is asked to do, read from its command
// line: <framework folder> followed by one request.
//
//   stream [--debounce=<ms>]     follow the players and print JSON lines
//   <test client> test           run the test client, which checks the bus
//   send <0|1|2|4|5>             play, pause, toggle, next, previous
//   seek <seconds>               to an absolute position
//   shuffle <off|items|collections>
//   repeat <off|one|all>
//   speed <rate>
//
// Numbers are read with a '.' whatever the locale. A command goes to the
// player named in VUDE_MEDIA_PLAYER while it is on the bus (MprisCommands.h).

#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

namespace AdapterRequest {

struct Stream {
    int debounceMilliseconds = 120;
};
struct Test {
    QString client;
};
enum class Transport { play, pause, toggle, next, previous };
struct Send {
    Transport transport;
};
struct Seek {
    qint64 microseconds;
};
struct SetShuffle {
    bool on;
};
struct SetRepeat {
    /// The player's loop status: "None", "Track" or "Playlist".
    QString loopStatus;
};
struct SetSpeed {
    double rate;
};

using Request = std::variant<Stream, Test, Send, Seek, SetShuffle, SetRepeat, SetSpeed>;

/// The request in `arguments` (everything after the program's name); none
/// when they make no valid request.
std::optional<Request> parse(const QStringList& arguments);

} // namespace AdapterRequest
