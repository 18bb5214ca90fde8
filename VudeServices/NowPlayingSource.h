#pragma once
// What the activity bridge needs of a now-playing source: what it offers, a
// check that it works at all, the states it publishes, starting and stopping
// it, and carrying out commands.

#include "Platform/Core/LatestStream.h"
#include "VudeServices/Capability.h"
#include "VudeServices/MediaCommand.h"
#include "VudeServices/NowPlayingState.h"
#include "VudeKit/Date.h"

class NowPlayingSource {
public:
    virtual ~NowPlayingSource() = default;

    virtual Capability capabilities() const = 0;
    /// Checks that the source can work here, waiting at most `timeout`; true
    /// when it can. Blocks, so call it away from the main thread; safe from
    /// any thread.
    virtual bool selfTest(Duration timeout) = 0;
    /// The published states; consume them on the main thread.
    virtual LatestStream<NowPlayingState> states() const = 0;
    virtual void start() = 0;
    virtual void stop() = 0;
    /// Returns at once; the command is carried out in the background.
    virtual void send(const MediaCommand& command) = 0;
};
