#pragma once
// Watches the system's default sound output and publishes its volume, mute
// state, name and transport as a stream of AudioState; sets that output's
// volume, lists the output devices and switches the default output.
//
// The first state follows start(); after it, one state for every volume or
// mute change of the bound output, and one when the default output becomes
// another device (the service then follows the new device only). While no
// sound server answers, the service publishes nothing; it binds again when
// one appears.

#include "Platform/Audio/AudioBackend.h"
#include "Platform/Core/LatestStream.h"
#include "Platform/Core/SerialQueue.h"
#include "VudeServices/AudioState.h"

#include <atomic>
#include <memory>
#include <vector>

class AudioService final {
public:
    /// States not yet taken by the consumer beyond this many are dropped,
    /// oldest first.
    static constexpr std::size_t stateBufferSize = 2;

    explicit AudioService(std::unique_ptr<AudioBackend> backend);
    ~AudioService();

    AudioService(const AudioService&) = delete;
    AudioService& operator=(const AudioService&) = delete;

    /// The stream of states; consume it on the main thread.
    LatestStream<AudioState> states() const { return m_states; }

    /// Returns at once; on the service's queue it reaches the sound server,
    /// binds the default output and publishes its state.
    void start();
    /// Returns at once; on the service's queue it stops following the output
    /// and lets go of the server. The stream stays open for a later start().
    void stop();

    /// Reads the bound output now, on the calling thread. With no output bound
    /// this is the default AudioState; when the output cannot be read it has
    /// `canSetVolume` false.
    AudioState currentState() const;
    /// Sets the bound output's volume, clamped to 0...1 (NaN gives 0). The new
    /// state arrives through the stream. Does nothing with no output bound.
    void setVolume(double value);

    /// The output devices now, in the server's order, the default one marked.
    std::vector<AudioOutputDevice> outputDevices() const;
    /// Makes the device the system's default output; true when the server
    /// accepted it.
    bool setDefaultOutput(std::uint32_t id) const;

    /// The id of the bound output, 0 when none.
    std::uint32_t deviceID() const { return m_deviceID; }

private:
    void handle(const AudioBackendEvent& event);
    // Follows the current default output and publishes its state.
    void bind();

    const std::unique_ptr<AudioBackend> m_backend;
    LatestStream<AudioState> m_states{stateBufferSize};
    std::atomic<std::uint32_t> m_deviceID = 0;
    bool m_listening = false; // on the queue only
    // Declared last: destroyed first, it finishes its work while the rest is
    // still alive.
    SerialQueue m_queue{"app.ruvudav.notch.audio"};
};
