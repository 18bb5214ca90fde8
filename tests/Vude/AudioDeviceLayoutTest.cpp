// How a sound output row reads: its symbol, the default's marks, the hover
// and the help text.
#include "Vude/Desk/AudioDeviceLayout.h"

#include <gtest/gtest.h>

namespace {

using Transport = AudioState::Transport;

TEST(AudioDeviceLayout, EachConnectionHasItsSymbol)
{
    const struct {
        Transport transport;
        std::string_view symbol;
    } rows[] = {
        {Transport::builtIn, "laptopcomputer"},  {Transport::bluetooth, "airpods.gen3"},
        {Transport::usb, "cable.connector"},     {Transport::hdmi, "display"},
        {Transport::displayPort, "display"},     {Transport::airPlay, "airplayaudio"},
        {Transport::virtual_, "waveform.circle"}, {Transport::other, "speaker.wave.2"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(AudioDeviceLayout::symbol(row.transport), row.symbol) << rawValue(row.transport);
}

TEST(AudioDeviceLayout, TheDefaultIsMarkedAndNeverHighlightedOthersHighlightUnderThePointer)
{
    const struct {
        const char* why;
        bool isDefault;
        bool hovering;
        Vude::Color symbol;
        Vude::Color name;
        Vude::FontWeight weight;
        bool checkmark;
        std::optional<Vude::Color> background;
    } rows[] = {
        {"the default", true, false, Vude::Accent::x500, Vude::Stone::x100, Vude::FontWeight::medium, true, {}},
        {"the default under the pointer: no highlight", true, true, Vude::Accent::x500, Vude::Stone::x100,
         Vude::FontWeight::medium, true, {}},
        {"another", false, false, Vude::Stone::x400, Vude::Stone::x200, Vude::FontWeight::regular, false, {}},
        {"another under the pointer", false, true, Vude::Stone::x400, Vude::Stone::x200, Vude::FontWeight::regular,
         false, Vude::Ink::x850},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        const AudioDeviceLayout::Look look = AudioDeviceLayout::look(row.isDefault, row.hovering);
        EXPECT_EQ(look.symbol, row.symbol);
        EXPECT_EQ(look.name, row.name);
        EXPECT_EQ(look.weight, row.weight);
        EXPECT_EQ(look.checkmark, row.checkmark);
        EXPECT_EQ(look.background, row.background);
    }
}

TEST(AudioDeviceLayout, TheHelpTextSaysWhatAClickDoes)
{
    EXPECT_EQ(AudioDeviceLayout::helpText({1, "Speakers", Transport::builtIn, true}),
              "Speakers \u2014 current output");
    EXPECT_EQ(AudioDeviceLayout::helpText({2, "Headphones", Transport::usb, false}), "Switch to Headphones");
}

} // namespace
