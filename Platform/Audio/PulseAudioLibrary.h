#pragma once
// The libpulse code behind PulseAudioBackend. libpulse brings a dozen codec
// libraries with it, and the sound server is reached only once the panel is
// up, so the code lives in the module "vude-audio.so" (Core/LoadableModule.h),
// opened when the first backend is made.

#include "Platform/Audio/AudioBackend.h"
#include "VudeKit/Expected.h"

#include <functional>
#include <memory>
#include <string>

/// One backend's link to a server: every AudioBackend operation as
/// PulseAudioBackend documents it. The pauses between attempts are the
/// backend's: after a failed attempt the connection asks for a retry and
/// waits for retry().
class PulseAudioConnection : public AudioBackend {
public:
    /// Hears that `failures` attempts in a row failed and retry() is wanted.
    /// Runs on libpulse's thread and must return quickly.
    using RetryWanted = std::function<void(int failures)>;

    /// Lets go of the server and ends libpulse's thread.
    ~PulseAudioConnection() override = default;

    /// Tries again, unless stopped since. Any thread.
    virtual void retry() = 0;
    /// How many times a connection was attempted since construction.
    virtual int connectionAttempts() const = 0;
};

class PulseAudioLibrary {
public:
    virtual ~PulseAudioLibrary() = default;

    /// The module's code, opened on the first call; or why it cannot be had.
    /// Thread-safe.
    static Expected<const PulseAudioLibrary*, std::string> shared();

    /// A connection to `server` (as PulseAudioBackend takes it), not yet
    /// started. Main thread.
    virtual std::unique_ptr<PulseAudioConnection> connection(std::string server,
                                                             PulseAudioConnection::RetryWanted retry) const = 0;
};
