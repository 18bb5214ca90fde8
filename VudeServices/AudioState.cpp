#include "VudeServices/AudioState.h"

#include "VudeKit/AsciiCase.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double silenceDecibels = -60;

bool containsIgnoringCase(std::string_view text, std::string_view part)
{
    return !std::ranges::search(text, part, {}, asciiLower, asciiLower).empty();
}

bool isOneOf(std::string_view value, std::initializer_list<std::string_view> choices)
{
    return std::ranges::find(choices, value) != choices.end();
}

} // namespace

double AudioState::decibels() const
{
    if (!(volume > 0))
        return silenceDecibels;
    const double decibels = 20 * std::log10(volume);
    return std::isnan(decibels) || decibels < silenceDecibels ? silenceDecibels : decibels;
}

AudioState::Transport transportFor(const AudioDeviceAttachment& attachment)
{
    using Transport = AudioState::Transport;
    const std::string_view bus = attachment.bus;
    const std::string_view formFactor = attachment.formFactor;
    const std::string_view api = attachment.api;
    const std::string_view port = attachment.activePort;
    const std::string_view profile = attachment.profile;

    // The bus and the api name the link; the port or profile tells a digital
    // display output of an on-board card from its analog jacks.
    if (containsIgnoringCase(api, "raop") || api == "airplay" || containsIgnoringCase(attachment.driver, "raop"))
        return Transport::airPlay;
    if (bus == "bluetooth" || api.starts_with("bluez"))
        return Transport::bluetooth;
    if (bus == "usb")
        return Transport::usb;
    if (containsIgnoringCase(port, "displayport") || containsIgnoringCase(profile, "displayport"))
        return Transport::displayPort;
    if (containsIgnoringCase(port, "hdmi") || containsIgnoringCase(profile, "hdmi") || formFactor == "tv")
        return Transport::hdmi;
    // Null, combined and filter sinks have no card behind them.
    if (isOneOf(attachment.deviceClass, {"abstract", "filter"}) || (!attachment.isHardware && bus.empty() && api.empty()))
        return Transport::virtual_;
    if (formFactor == "internal" || isOneOf(bus, {"pci", "platform", "isa"}) || (bus.empty() && api == "alsa"))
        return Transport::builtIn;
    return Transport::other;
}

std::string_view AudioOutputDevice::symbol() const
{
    using Transport = AudioState::Transport;
    switch (transport) {
    case Transport::builtIn:
        return "laptopcomputer";
    case Transport::bluetooth:
        return "airpods.gen3";
    case Transport::usb:
        return "cable.connector";
    case Transport::hdmi:
    case Transport::displayPort:
        return "display";
    case Transport::airPlay:
        return "airplayaudio";
    case Transport::virtual_:
        return "waveform.circle";
    case Transport::other:
        break;
    }
    return "speaker.wave.2";
}
