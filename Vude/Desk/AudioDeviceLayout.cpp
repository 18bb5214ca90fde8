#include "Vude/Desk/AudioDeviceLayout.h"

std::string_view AudioDeviceLayout::symbol(AudioState::Transport transport)
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

AudioDeviceLayout::Look AudioDeviceLayout::look(bool isDefault, bool hovering)
{
    if (isDefault)
        return {Vude::Accent::x500, Vude::Stone::x100, Vude::FontWeight::medium, true, std::nullopt};
    Look look{Vude::Stone::x400, Vude::Stone::x200, Vude::FontWeight::regular, false, std::nullopt};
    if (hovering)
        look.background = Vude::Ink::x850;
    return look;
}

std::string AudioDeviceLayout::helpText(const AudioOutputDevice& device)
{
    if (device.isDefault)
        return device.name + " \u2014 current output";
    return "Switch to " + device.name;
}
