// The PulseAudio backend against a real server (PulseAudio, and PipeWire's
// pulse server where it is installed): which server changes become events,
// and what the reads return.
#include "Platform/Audio/PulseAudioBackend.h"

#include "PrivatePulseServer.h"
#include "TestSupport.h"
#include "VudeKit/Scheduler.h"

#include <gtest/gtest.h>

#include <mutex>

namespace {

using Kind = AudioBackendEvent::Kind;
using testsupport::PrivatePulseServer;
using testsupport::SoundServerKind;
using testsupport::waitUntil;

class PulseAudioBackendSystemTest : public ::testing::TestWithParam<SoundServerKind> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.start()) << server.errorText().toStdString();
        // A device's id is its sink index plus one (0 means none).
        speakers = server.sinkIndex("speakers").value_or(0) + 1;
        headphones = server.sinkIndex("headphones").value_or(0) + 1;
        ASSERT_NE(speakers, headphones);
        backend.setEventHandler([this](const AudioBackendEvent& event) {
            std::scoped_lock lock(mutex);
            events.push_back(event);
        });
        backend.start();
        ASSERT_TRUE(waitForEvent({Kind::connected}));
    }

    void TearDown() override { backend.setEventHandler({}); }

    void pactl(const QStringList& arguments)
    {
        ASSERT_TRUE(server.pactl(arguments).has_value()) << arguments.join(' ').toStdString();
    }

    bool waitForEvent(AudioBackendEvent event)
    {
        return waitUntil([&] {
            std::scoped_lock lock(mutex);
            return std::ranges::find(events, event) != events.end();
        });
    }

    std::vector<AudioBackendEvent> received()
    {
        std::scoped_lock lock(mutex);
        return events;
    }

    ManualClock clock;
    ManualScheduler scheduler{clock};
    PrivatePulseServer server{{
                                  {"speakers", "device.description=Speakers"},
                                  {"headphones", "device.description=Headphones device.bus=usb device.form_factor=headphone"},
                              },
                              GetParam()};
    std::uint32_t speakers = 0;
    std::uint32_t headphones = 0;
    PulseAudioBackend backend{scheduler, server.address().toStdString()};
    std::mutex mutex;
    std::vector<AudioBackendEvent> events;
};

// Events go out in the order of the server's changes, so once the last one
// expected is in, any stray one would be too.

TEST_P(PulseAudioBackendSystemTest, OnlyVolumeAndMuteChangesOfSinksAreReported)
{
    pactl({"suspend-sink", "speakers", "1"}); // what happens when playback stops
    pactl({"suspend-sink", "speakers", "0"});
    pactl({"set-sink-volume", "speakers", "100%"}); // unchanged
    pactl({"set-sink-volume", "headphones", "50%"});
    pactl({"set-sink-mute", "speakers", "1"});
    ASSERT_TRUE(waitForEvent({Kind::volumeChanged, speakers}));

    EXPECT_EQ(received(), (std::vector<AudioBackendEvent>{
                              {Kind::connected},
                              {Kind::volumeChanged, headphones},
                              {Kind::volumeChanged, speakers},
                          }));
}

TEST_P(PulseAudioBackendSystemTest, EachSwitchOfTheDefaultSinkIsReportedOnce)
{
    pactl({"set-default-sink", "headphones"});
    pactl({"set-default-sink", "headphones"});
    pactl({"set-default-source", "headphones.monitor"}); // the server changes, the default sink does not
    pactl({"set-sink-volume", "speakers", "50%"});
    ASSERT_TRUE(waitForEvent({Kind::volumeChanged, speakers}));

    EXPECT_EQ(received(), (std::vector<AudioBackendEvent>{
                              {Kind::connected},
                              {Kind::defaultOutputChanged},
                              {Kind::volumeChanged, speakers},
                          }));
    EXPECT_EQ(backend.defaultOutputDevice(), headphones);
}

TEST_P(PulseAudioBackendSystemTest, ReadsDescribeTheSinks)
{
    EXPECT_TRUE(backend.isAvailable());
    EXPECT_EQ(backend.defaultOutputDevice(), speakers);

    const auto device = backend.device(headphones);
    ASSERT_TRUE(device.has_value());
    EXPECT_EQ(device->name, "Headphones");
    EXPECT_EQ(device->volume, 1.0);
    EXPECT_FALSE(device->isMuted);
    EXPECT_EQ(device->attachment.bus, "usb");
    EXPECT_EQ(device->attachment.formFactor, "headphone");
    // What each server says of its own null sinks.
    const bool pulseAudio = server.kind() == SoundServerKind::pulseAudio;
    EXPECT_EQ(device->attachment.deviceClass, pulseAudio ? "abstract" : "");
    EXPECT_EQ(device->attachment.driver, pulseAudio ? "module-null-sink.c" : "PipeWire");
    EXPECT_FALSE(device->attachment.isHardware);

    const auto all = backend.outputDevices();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].id, speakers);
    EXPECT_EQ(all[1], *device);

    EXPECT_EQ(backend.device(0), std::nullopt);
    EXPECT_EQ(backend.device(4242), std::nullopt);
    EXPECT_FALSE(backend.setDefaultOutput(4242));
}

TEST_P(PulseAudioBackendSystemTest, LosingTheServerIsReportedAndStopEndsTheRetries)
{
    server.kill();
    ASSERT_TRUE(waitForEvent({Kind::disconnected}));
    EXPECT_FALSE(backend.isAvailable());
    EXPECT_EQ(backend.defaultOutputDevice(), std::nullopt);
    ASSERT_TRUE(waitUntil([&] { return scheduler.pendingCount() == 1; })) << "a retry is scheduled";

    backend.stop();
    const int attempts = backend.connectionAttempts();
    scheduler.advance(std::chrono::minutes(1));
    testsupport::processEvents();
    EXPECT_EQ(backend.connectionAttempts(), attempts) << "a stopped backend does not retry";
}

INSTANTIATE_TEST_SUITE_P(, PulseAudioBackendSystemTest, ::testing::ValuesIn(testsupport::installedSoundServers()),
                         testsupport::SoundServerKindName());

} // namespace
