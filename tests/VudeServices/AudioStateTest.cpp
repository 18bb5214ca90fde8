#include "VudeServices/AudioState.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

using Transport = AudioState::Transport;

TEST(AudioState, TransportNamesAndBothSymbolTables)
{
    struct Row {
        Transport transport;
        std::string_view raw;
        std::string_view stateSymbol;
        std::string_view deviceSymbol;
    };
    const Row rows[] = {
        {Transport::builtIn, "builtIn", "speaker.wave.2.fill", "laptopcomputer"},
        {Transport::bluetooth, "bluetooth", "airpods.gen3", "airpods.gen3"},
        {Transport::usb, "usb", "hifispeaker.fill", "cable.connector"},
        {Transport::hdmi, "hdmi", "tv", "display"},
        {Transport::displayPort, "displayPort", "tv", "display"},
        {Transport::airPlay, "airPlay", "airplayaudio", "airplayaudio"},
        {Transport::virtual_, "virtual", "speaker.wave.2.fill", "waveform.circle"},
        {Transport::other, "other", "speaker.wave.2.fill", "speaker.wave.2"},
    };
    const auto cases = allCases<Transport>();
    ASSERT_EQ(cases.size(), std::size(rows));
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const auto& row = rows[i];
        SCOPED_TRACE(std::string(row.raw));
        EXPECT_EQ(cases[i], row.transport) << "cases keep their order";
        EXPECT_EQ(rawValue(row.transport), row.raw);
        EXPECT_EQ(enumFromRaw<Transport>(row.raw), row.transport);
        EXPECT_EQ(symbol(row.transport), row.stateSymbol);
        EXPECT_EQ((AudioOutputDevice{.transport = row.transport}.symbol()), row.deviceSymbol);
    }
    EXPECT_EQ(enumFromRaw<Transport>("virtual_"), std::nullopt);
    EXPECT_EQ(enumFromRaw<Transport>("HDMI"), std::nullopt);
}

TEST(AudioState, TransportFromServerProperties)
{
    struct Row {
        const char* why;
        AudioDeviceAttachment attachment;
        Transport expected;
    };
    const Row rows[] = {
        {"laptop speakers on the on-board card",
         {.bus = "pci", .formFactor = "internal", .api = "alsa", .deviceClass = "sound", .profile = "analog-stereo",
          .activePort = "analog-output-speaker", .isHardware = true},
         Transport::builtIn},
        {"on-board card of a board without a bus name",
         {.api = "alsa", .deviceClass = "sound", .isHardware = true},
         Transport::builtIn},
        {"HDMI output of the same card",
         {.bus = "pci", .api = "alsa", .deviceClass = "sound", .profile = "hdmi-stereo", .activePort = "hdmi-output-0",
          .isHardware = true},
         Transport::hdmi},
        {"DisplayPort named by the port",
         {.bus = "pci", .api = "alsa", .activePort = "[Out] DisplayPort1", .isHardware = true},
         Transport::displayPort},
        {"a television says so in its form factor",
         {.formFactor = "tv", .isHardware = true},
         Transport::hdmi},
        {"headphones on PulseAudio's Bluetooth stack",
         {.bus = "bluetooth", .formFactor = "headphone", .api = "bluez", .isHardware = true},
         Transport::bluetooth},
        {"headphones on PipeWire, known by the api alone",
         {.api = "bluez5"},
         Transport::bluetooth},
        {"a USB headset, even with an internal-looking profile",
         {.bus = "usb", .formFactor = "headset", .api = "alsa", .profile = "analog-stereo", .isHardware = true},
         Transport::usb},
        {"an AirPlay receiver",
         {.driver = "module-raop-sink.c"},
         Transport::airPlay},
        {"an AirPlay receiver on PipeWire",
         {.api = "raop"},
         Transport::airPlay},
        {"a null sink",
         {.deviceClass = "abstract"},
         Transport::virtual_},
        {"a filter sink on top of a card",
         {.deviceClass = "filter", .isHardware = false},
         Transport::virtual_},
        {"a software sink with no properties at all",
         {},
         Transport::virtual_},
        {"hardware the properties do not explain",
         {.bus = "firewire", .isHardware = true},
         Transport::other},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(transportFor(row.attachment), row.expected);
    }
}

TEST(AudioState, DecibelsWithTheirFloor)
{
    struct Row {
        double volume;
        double expected;
        const char* why;
    };
    const Row rows[] = {
        {1.0, 0.0, "full volume"},
        {0.5, -6.0206, "half"},
        {0.001, -60.0, "exactly the floor"},
        {0.0005, -60.0, "about -66 dB is floored"},
        {0.0, -60.0, "silence"},
        {-0.5, -60.0, "below silence"},
        {std::numeric_limits<double>::quiet_NaN(), -60.0, "not a number"},
        {-std::numeric_limits<double>::infinity(), -60.0, "minus infinity"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        EXPECT_NEAR(AudioState{.volume = row.volume}.decibels(), row.expected, 1e-4);
    }
}

} // namespace
