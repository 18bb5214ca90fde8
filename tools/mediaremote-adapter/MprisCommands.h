#pragma once
// The adapter's one-shot commands: find the player to act on and call its
// methods or set its properties.
//
// A command process cannot know which player the streaming adapter shows, so
// it picks the same way from what it sees now: a playing player over a paused
// one over any other, then the one that joined the bus last.

#include "AdapterRequest.h"

#include <QDBusConnection>

namespace MprisCommands {

/// Carries out the request; the process's exit status: 0 when the player
/// took it, 1 when there is no player or the call failed.
int run(QDBusConnection& bus, const AdapterRequest::Request& request);

} // namespace MprisCommands
