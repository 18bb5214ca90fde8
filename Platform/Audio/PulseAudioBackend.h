#pragma once
// The audio backend on a PulseAudio server (PipeWire desktops serve the same
// protocol). Outputs are the server's sinks; the default output is its default
// sink. A device id is the sink's index plus one, so that 0 can mean "none".
//
// The connection runs on libpulse's own thread. When no server answers, or the
// server goes away, the backend retries through the scheduler with pauses
// growing from 0.5 s to 10 s, so a missing server costs nothing. The libpulse
// code lives in a module (PulseAudioLibrary.h); without it the backend stays
// unavailable, as with no server.
//
// Construct and destroy it on the main thread (the scheduler's thread); the
// other operations may be called from any thread but the event handler's.

#include "Platform/Audio/AudioBackend.h"
#include "VudeKit/Date.h"

#include <memory>

class Scheduler;

class PulseAudioBackend final : public AudioBackend {
public:
    /// `server` is a server address as libpulse takes it
    /// ("unix:/run/user/1000/pulse/native"); empty means the user's default
    /// server. The backend never spawns a server.
    explicit PulseAudioBackend(Scheduler& scheduler, std::string server = {});
    ~PulseAudioBackend() override;

    PulseAudioBackend(const PulseAudioBackend&) = delete;
    PulseAudioBackend& operator=(const PulseAudioBackend&) = delete;

    void setEventHandler(EventHandler handler) override;
    void start() override;
    void stop() override;
    bool isAvailable() const override;
    std::optional<std::uint32_t> defaultOutputDevice() override;
    std::optional<AudioDeviceInfo> device(std::uint32_t id) override;
    std::vector<AudioDeviceInfo> outputDevices() override;
    void setVolume(std::uint32_t id, double volume, SetDone done) override;
    bool setDefaultOutput(std::uint32_t id) override;

    /// How many times a connection was attempted since construction.
    int connectionAttempts() const;

    /// PulseAudio's 100 %, the unit of its volumes.
    static constexpr std::uint32_t normalVolume = 0x10000U;
    /// A server volume as 0...1 (above 100 % reads as 1).
    static double volumeFromRaw(std::uint32_t raw);
    /// 0...1 as a server volume, rounded to the nearest step so that a value
    /// written as 30 % reads back as 30 %. NaN gives 0.
    static std::uint32_t rawFromVolume(double volume);
    /// The pause before the next attempt after `failures` failed ones in a row.
    static Duration reconnectDelay(int failures);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
