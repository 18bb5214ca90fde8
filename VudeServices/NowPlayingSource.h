#pragma once
// What the activity bridge needs of a now-playing source: what it offers, the
// states it publishes, starting and stopping it, and carrying out commands.

#include "Platform/Core/LatestStream.h"
#include "VudeServices/Capability.h"
#include "VudeServices/MediaCommand.h"
#include "VudeServices/NowPlayingState.h"

class NowPlayingSource {
public:
    virtual ~NowPlayingSource() = default;

    virtual Capability capabilities() const = 0;
    /// The published states; consume them on the main thread.
    virtual LatestStream<NowPlayingState> states() const = 0;
    virtual void start() = 0;
    virtual void stop() = 0;
    /// Returns at once; the command is carried out in the background.
    virtual void send(const MediaCommand& command) = 0;
};
