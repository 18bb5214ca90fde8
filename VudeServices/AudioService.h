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
//
// Setting never waits for the server: the level asked for is published at
// once and counts as the level (knownState) until the server has answered
// every set, so key presses made while the server is slow each step on from
// the one before.

#include "Platform/Audio/AudioBackend.h"
#include "Platform/Core/LatestStream.h"
#include "Platform/Core/SerialQueue.h"
#include "VudeServices/AudioState.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
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
    /// The bound output as last read, its volume the newest level set while
    /// any set is still unanswered. Never asks the server: the main thread's
    /// way to read the level.
    AudioState knownState() const;
    /// Sets the bound output's volume, clamped to 0...1 (NaN gives 0), without
    /// waiting for the server. While the output is reachable and settable its
    /// state with the new level is published at once, and the server's own
    /// follows. Does nothing with no output bound.
    void setVolume(double value);

    /// Told whether the server took a new default output; runs on the
    /// service's queue.
    using SwitchDone = std::function<void(bool accepted)>;

    /// The output devices as last read, in the server's order, the default
    /// one marked. Never asks the server: the list is read again on the
    /// service's queue whenever the server reports an output or the default
    /// changing, and is empty while no server answers.
    std::vector<AudioOutputDevice> outputDevices() const;
    /// Makes the device the system's default output without waiting for the
    /// server. `done` (may be empty) hears whether the server accepted it,
    /// once the list above marks the new default.
    void setDefaultOutput(std::uint32_t id, SwitchDone done = {});

    /// The id of the bound output, 0 when none.
    std::uint32_t deviceID() const { return m_deviceID; }

private:
    void handle(const AudioBackendEvent& event);
    // Follows the current default output and publishes its state.
    void bind();
    // Reads the bound output, remembers it and publishes it.
    void publishCurrent();
    // Reads the output list again and keeps it.
    void refreshOutputs();
    // Forgets sets in flight: their answers no longer count.
    void forgetSets();
    void finishSet(std::uint64_t generation, double level, bool applied);

    const std::unique_ptr<AudioBackend> m_backend;
    LatestStream<AudioState> m_states{stateBufferSize};
    std::atomic<std::uint32_t> m_deviceID = 0;
    bool m_listening = false; // on the queue only

    mutable std::mutex m_knownLock;
    AudioState m_known;                   // guarded by m_knownLock
    std::optional<double> m_settingLevel; // the newest level asked, while sets are unanswered
    int m_setsInFlight = 0;
    std::uint64_t m_setGeneration = 0; // bumped whenever answers stop counting
    std::vector<AudioOutputDevice> m_outputs; // guarded by m_knownLock
    // Declared last: destroyed first, it finishes its work while the rest is
    // still alive.
    SerialQueue m_queue{"app.ruvudav.notch.audio"};
};
