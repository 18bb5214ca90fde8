#pragma once
// The adapter's one-shot commands: find the player to act on and call its
// methods or set its properties.
//
// The app names the player it shows (the streaming adapter's "player" key);
// the command goes there while that player is on the bus. Without one, or
// once it is gone, the command picks from what it sees now: a playing player
// over a paused one over any other, then the one that joined the bus last.

#include "AdapterRequest.h"

#include <QDBusConnection>

namespace MprisCommands {

/// Carries out the request on `shownPlayer` (a bus name; empty for none) or
/// the player chosen in its place; the process's exit status: 0 when the
/// player took it, 1 when there is no player or the call failed.
int run(QDBusConnection& bus, const AdapterRequest::Request& request, const QString& shownPlayer);

} // namespace MprisCommands
