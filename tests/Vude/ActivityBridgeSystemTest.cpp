// The road of one volume change through the activity bridge, on a real sound
// server (PulseAudio, and PipeWire's pulse server where it is installed):
// another mixer or the volume key changes the volume, the audio service
// reports it, and the coordinator shows the sound pill.
#include "BridgeRig.h"

#include "Platform/Audio/PulseAudioBackend.h"
#include "PrivatePulseServer.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace bridgetest;
using testsupport::PrivatePulseServer;
using testsupport::SoundServerKind;
using G = ActivityGlyph;
using T = ActivityTrailing;

class ActivityBridgeSystemTest : public ::testing::TestWithParam<SoundServerKind>, public BridgeRig {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.start()) << server.errorText().toStdString();
        ownedAudioBackend = std::make_unique<PulseAudioBackend>(scheduler, server.address().toStdString());
        audioBackend = nullptr;
        makeBridge(false);
        ASSERT_TRUE(startBridge());
        ASSERT_TRUE(waitFor([&] { return bridge->audio().deviceID() != 0; }));
        testsupport::processEvents();
    }

    void pactl(const QStringList& arguments)
    {
        ASSERT_TRUE(server.pactl(arguments).has_value()) << arguments.join(' ').toStdString();
    }

    /// Waits for a sound pill whose bar stands at `fraction`.
    const ActivityPayload* soundPillAt(double fraction)
    {
        const ActivityPayload* found = nullptr;
        waitFor([&] {
            for (const auto& payload : presented)
                if (const auto* bar = payload.trailing().as<T::Bar>();
                    bar && payload.kind() == ActivityKind::sound && std::abs(bar->fraction - fraction) < 0.002)
                    found = &payload;
            return found != nullptr;
        });
        return found;
    }

    PrivatePulseServer server{{{"speakers", "device.description=Speakers"},
                               {"headphones", "device.description=Headphones device.bus=usb"}},
                              GetParam()};
};

TEST_P(ActivityBridgeSystemTest, AVolumeChangeReachesTheCoordinatorAsASoundPill)
{
    EXPECT_TRUE(presented.empty()) << "the state at start raised a pill";

    pactl({"set-sink-volume", "speakers", "40%"});
    const ActivityPayload* pill = soundPillAt(0.4);
    ASSERT_TRUE(pill);
    EXPECT_EQ(pill->title(), "Speakers");
    EXPECT_EQ(pill->dedupeKey(), "sound");
    EXPECT_EQ(pill->priority(), ActivityPriority::interrupt);
    EXPECT_EQ(coordinator.current()->id(), presented.back().id());

    pactl({"set-sink-mute", "speakers", "1"});
    pill = soundPillAt(0.0);
    ASSERT_TRUE(pill);
    EXPECT_EQ(pill->leading(), G::symbol("speaker.slash.fill"));
    pactl({"set-sink-mute", "speakers", "0"});
    ASSERT_TRUE(soundPillAt(0.4));

    // Another output becomes the default: the pill names it.
    pactl({"set-default-sink", "headphones"});
    ASSERT_TRUE(waitFor([&] { return presented.back().title() == "Headphones"; }));
    EXPECT_EQ(presented.back().leading(), G::symbol("hifispeaker.fill"));
}

TEST_P(ActivityBridgeSystemTest, TheVolumeKeyIsAppliedAndShown)
{
    pactl({"set-sink-volume", "speakers", "50%"});
    ASSERT_TRUE(soundPillAt(0.5));
    ASSERT_TRUE(waitFor([&] { return std::abs(bridge->audio().currentState().volume - 0.5) < 0.002; }));

    EXPECT_TRUE(bridge->handleMediaKey({.key = MediaKey::soundUp, .isDown = true}));
    ASSERT_TRUE(soundPillAt(0.5625));
    EXPECT_TRUE(server.pactl({"get-sink-volume", "speakers"}).value_or("").contains("56%"));

    EXPECT_TRUE(bridge->handleMediaKey({.key = MediaKey::soundDown, .isDown = true, .isFineAdjust = true}));
    ASSERT_TRUE(soundPillAt(0.546875));
    EXPECT_FALSE(bridge->handleMediaKey({.key = MediaKey::mute, .isDown = true}));
}

INSTANTIATE_TEST_SUITE_P(Servers, ActivityBridgeSystemTest, ::testing::ValuesIn(testsupport::installedSoundServers()),
                         testsupport::SoundServerKindName{});

} // namespace
