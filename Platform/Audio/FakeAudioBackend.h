#pragma once
// An in-process sound server for tests: devices, a default output and a
// reachable flag that a test scripts, with the events a real server would
// send. Events are delivered synchronously on the thread that caused them.

#include "Platform/Audio/AudioBackend.h"

#include <mutex>
#include <utility>

class FakeAudioBackend final : public AudioBackend {
public:
    /// `reachable`: whether a server answers once the backend is started.
    explicit FakeAudioBackend(bool reachable = true);

    // Scripting, any thread.

    /// Adds or replaces a device; an added or removed one sends
    /// `outputsChanged` while connected.
    void putDevice(AudioDeviceInfo device);
    void removeDevice(std::uint32_t id);
    /// Changes a device's volume and mute as another program would; sends
    /// `volumeChanged` when either differs.
    void changeDevice(std::uint32_t id, std::optional<double> volume, bool isMuted);
    /// Switches the default output as another program would (0 for none).
    void changeDefaultOutput(std::uint32_t id);
    /// The server appears or goes away; while started this sends `connected`
    /// or `disconnected`.
    void setReachable(bool reachable);

    /// While held, volume sets are recorded but neither applied nor answered,
    /// as by a server that stopped answering. Releasing applies and answers
    /// them in order; stop() answers them as not applied.
    void holdSets();
    void releaseSets();

    /// Every volume written through setVolume(), in order.
    std::vector<std::pair<std::uint32_t, double>> volumeWrites() const;
    int startCount() const;
    int stopCount() const;
    bool isStarted() const;

    // AudioBackend
    void setEventHandler(EventHandler handler) override;
    void start() override;
    void stop() override;
    bool isAvailable() const override;
    std::optional<std::uint32_t> defaultOutputDevice() override;
    std::optional<AudioDeviceInfo> device(std::uint32_t id) override;
    std::vector<AudioDeviceInfo> outputDevices() override;
    void setVolume(std::uint32_t id, double volume, SetDone done) override;
    bool setDefaultOutput(std::uint32_t id) override;

private:
    // Delivers outside the data lock so a handler may read the backend again.
    void send(AudioBackendEvent event);
    bool connectedLocked() const { return m_started && m_reachable; }
    AudioDeviceInfo* findLocked(std::uint32_t id);
    void apply(std::uint32_t id, double volume, const SetDone& done);

    mutable std::mutex m_mutex;
    std::vector<AudioDeviceInfo> m_devices;
    std::uint32_t m_default = 0;
    bool m_reachable;
    bool m_started = false;
    int m_startCount = 0;
    int m_stopCount = 0;
    std::vector<std::pair<std::uint32_t, double>> m_volumeWrites;
    struct HeldSet {
        std::uint32_t id;
        double volume;
        SetDone done;
    };
    bool m_holdingSets = false;
    std::vector<HeldSet> m_heldSets;

    std::mutex m_handlerMutex;
    EventHandler m_handler;
};
