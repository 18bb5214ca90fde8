#pragma once
// The sound server as the audio service sees it: the default output, each
// output's volume, mute, name and attachment, and change events. The Linux
// backend talks to PulseAudio (which PipeWire desktops serve too); tests use
// FakeAudioBackend.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

/// How an output is attached, in the sound server's own words; a text is empty
/// when the server does not give it.
struct AudioDeviceAttachment {
    std::string bus{};         // "device.bus": "pci", "usb", "bluetooth", ...
    std::string formFactor{};  // "device.form_factor": "internal", "headphone", "tv", ...
    std::string api{};         // "device.api": "alsa", "bluez5", "raop", ...
    std::string deviceClass{}; // "device.class": "sound", "abstract", "filter", ...
    std::string profile{};     // "device.profile.name": "analog-stereo", "hdmi-stereo", ...
    std::string activePort{};  // the active port's name: "analog-output-speaker", "hdmi-output-0", ...
    std::string driver{};      // the server module behind the output: "module-raop-sink.c", ...
    bool isHardware = false; // backed by a sound card rather than a virtual sink

    bool operator==(const AudioDeviceAttachment&) const = default;
};

/// One output device as read now.
struct AudioDeviceInfo {
    /// Stable for the life of the device on this server; never 0.
    std::uint32_t id = 0;
    /// The name people see ("Built-in Audio Analog Stereo").
    std::string name{};
    /// The main volume, 0...1, linear in the scale desktop sliders show: the
    /// loudest channel, full when amplified past it; none for a device without
    /// volume control.
    std::optional<double> volume{};
    bool isMuted = false;
    AudioDeviceAttachment attachment{};

    bool operator==(const AudioDeviceInfo&) const = default;
};

struct AudioBackendEvent {
    enum class Kind {
        /// A sound server was reached (at start or after it went away).
        connected,
        /// The sound server went away; the backend keeps trying to reach one.
        disconnected,
        /// The system's default output is now another device.
        defaultOutputChanged,
        /// The volume or the mute state of `device` changed.
        volumeChanged,
        /// An output device came or went.
        outputsChanged,
    };
    Kind kind;
    std::uint32_t device = 0;

    bool operator==(const AudioBackendEvent&) const = default;
};

class AudioBackend {
public:
    using EventHandler = std::function<void(const AudioBackendEvent&)>;
    /// Told whether the server applied a volume set. Runs on the backend's
    /// thread, or on the caller's when the set could not even be sent, under
    /// the event handler's rules.
    using SetDone = std::function<void(bool applied)>;

    virtual ~AudioBackend() = default;

    /// Receives every event, on a thread of the backend's choosing; it must
    /// return quickly and must not call back into the backend. Passing an
    /// empty handler stops delivery; once this returns, the old handler is
    /// no longer running.
    virtual void setEventHandler(EventHandler handler) = 0;

    /// Starts reaching the sound server and keeps trying, with growing pauses,
    /// while none answers. Returns at once; `connected` follows. Any thread.
    virtual void start() = 0;
    /// Lets go of the server and stops trying. Any thread.
    virtual void stop() = 0;

    /// True while connected to a sound server.
    virtual bool isAvailable() const = 0;

    // The reads below ask the server now and block the calling thread briefly;
    // never call them from the event handler.

    /// The default output's id, 0 when the server has none; none when no
    /// server could be asked.
    virtual std::optional<std::uint32_t> defaultOutputDevice() = 0;
    /// One device; none when it is gone or no server could be asked.
    virtual std::optional<AudioDeviceInfo> device(std::uint32_t id) = 0;
    /// Every output device, in the server's order; empty without a server.
    virtual std::vector<AudioDeviceInfo> outputDevices() = 0;

    /// Sets a device's main volume (0...1): its loudest channel becomes
    /// `volume` and the others keep their balance. Never writes more than full;
    /// a device amplified past full is left as it is by a volume of 1. Does
    /// not wait for the server; the change comes back as `volumeChanged`.
    /// `done` (may be empty) hears of every set exactly once, in the order
    /// of the sets; a set lost with the connection counts as not applied.
    virtual void setVolume(std::uint32_t id, double volume, SetDone done) = 0;
    /// Makes a device the default output; true when the server accepted it.
    virtual bool setDefaultOutput(std::uint32_t id) = 0;
};
