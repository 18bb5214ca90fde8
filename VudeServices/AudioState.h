#pragma once
// What the audio service publishes: the default output's level, name and
// attachment, and the output devices the Desk lists.

#include "Platform/Audio/AudioBackend.h"
#include "VudeKit/EnumTraits.h"

#include <cstdint>
#include <string>
#include <string_view>

struct AudioState {
    /// How the output is attached; the raw text is the case name ("virtual"
    /// for `virtual_`, whose name C++ reserves).
    enum class Transport { builtIn, bluetooth, usb, hdmi, displayPort, airPlay, virtual_, other };

    /// 0...1.
    double volume = 0;
    bool isMuted = false;
    std::string deviceName{};
    Transport transport = Transport::builtIn;
    /// The device has a readable main volume; without it the volume keys are
    /// left to the system.
    bool canSetVolume = true;

    /// The volume in decibels: 20 log10(volume), never below -60 (silence and
    /// NaN included).
    double decibels() const;

    bool operator==(const AudioState&) const = default;
};

/// The transport an output's attachment amounts to; an attachment that says
/// nothing recognisable is `other`.
AudioState::Transport transportFor(const AudioDeviceAttachment& attachment);

template <>
struct EnumTraits<AudioState::Transport> {
    using Transport = AudioState::Transport;
    static constexpr std::array cases{
        EnumCase{Transport::builtIn, "builtIn", {}, "speaker.wave.2.fill"},
        EnumCase{Transport::bluetooth, "bluetooth", {}, "airpods.gen3"},
        EnumCase{Transport::usb, "usb", {}, "hifispeaker.fill"},
        EnumCase{Transport::hdmi, "hdmi", {}, "tv"},
        EnumCase{Transport::displayPort, "displayPort", {}, "tv"},
        EnumCase{Transport::airPlay, "airPlay", {}, "airplayaudio"},
        EnumCase{Transport::virtual_, "virtual", {}, "speaker.wave.2.fill"},
        EnumCase{Transport::other, "other", {}, "speaker.wave.2.fill"},
    };
};

/// An output device as the Desk lists it.
struct AudioOutputDevice {
    std::uint32_t id = 0;
    std::string name{};
    AudioState::Transport transport = AudioState::Transport::other;
    /// The system's default output when the list was read.
    bool isDefault = false;

    /// The symbol drawn in the device list, which differs from the state's.
    std::string_view symbol() const;

    bool operator==(const AudioOutputDevice&) const = default;
};
