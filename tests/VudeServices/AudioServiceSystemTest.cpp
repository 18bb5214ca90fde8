// The audio service against a real sound server (PulseAudio, and PipeWire's
// pulse server where it is installed) with two null sinks, driven from
// outside with pactl the way another mixer would.
#include "VudeServices/AudioService.h"

#include "AudioTestSupport.h"
#include "Platform/Audio/PulseAudioBackend.h"
#include "PrivatePulseServer.h"
#include "VudeKit/Scheduler.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

#include <signal.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <memory>

namespace {

using namespace std::chrono_literals;
using Transport = AudioState::Transport;
using testsupport::PrivatePulseServer;
using testsupport::SoundServerKind;
using testsupport::waitUntil;

const AudioState speakersState{.volume = 1.0, .deviceName = "Speakers", .transport = Transport::virtual_};
const AudioState headphonesState{.volume = 1.0, .deviceName = "Headphones", .transport = Transport::usb};

class AudioServiceSystemTest : public AudioServiceFixture, public ::testing::WithParamInterface<SoundServerKind> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.start()) << server.errorText().toStdString();
        auto backend = std::make_unique<PulseAudioBackend>(scheduler, server.address().toStdString());
        pulse = backend.get();
        makeService(std::move(backend));
    }

    void TearDown() override { service.reset(); }

    void pactl(const QStringList& arguments)
    {
        ASSERT_TRUE(server.pactl(arguments).has_value()) << arguments.join(' ').toStdString();
    }

    // The raw per-channel volumes of a sink, as pactl reports them.
    std::vector<std::uint32_t> rawVolumes(const QString& sink)
    {
        std::vector<std::uint32_t> values;
        const auto output = server.pactl({"get-sink-volume", sink}).value_or(QString());
        static const QRegularExpression channel(R"(:\s*(\d+)\s*/)");
        for (auto match = channel.globalMatch(output); match.hasNext();)
            values.push_back(match.next().captured(1).toUInt());
        return values;
    }

    std::uint32_t idOf(const std::string& name)
    {
        for (const auto& device : service->outputDevices())
            if (device.name == name)
                return device.id;
        ADD_FAILURE() << "no output named " << name;
        return 0;
    }

    // Lets the backend's pending reconnect run, as often as the pauses allow
    // within `span`, settling after each attempt. Returns the attempts made.
    int runReconnects(Duration span)
    {
        const int before = pulse->connectionAttempts();
        for (Duration elapsed{}; elapsed < span; elapsed += 250ms) {
            scheduler.advance(250ms);
            waitUntil([&] { return scheduler.pendingCount() == 1 || pulse->isAvailable(); });
        }
        return pulse->connectionAttempts() - before;
    }

    ManualClock clock;
    ManualScheduler scheduler{clock};
    PrivatePulseServer server{{
                                  {"speakers", "device.description=Speakers"},
                                  {"headphones", "device.description=Headphones device.bus=usb"},
                              },
                              GetParam()};
    PulseAudioBackend* pulse = nullptr;
};

TEST_P(AudioServiceSystemTest, FirstStateNamesTheDefaultSink)
{
    startBound();
    EXPECT_EQ(received.front(), speakersState);
    EXPECT_EQ(service->currentState(), speakersState);
}

TEST_P(AudioServiceSystemTest, VolumeAndMuteChangesMadeElsewhereArriveAsStates)
{
    startBound();
    pactl({"set-sink-volume", "speakers", "30%"});
    ASSERT_TRUE(receivedCount(2));
    pactl({"suspend-sink", "speakers", "1"}); // changes that are no volume change
    pactl({"suspend-sink", "speakers", "0"});
    pactl({"set-sink-volume", "headphones", "50%"}); // not the default sink
    pactl({"set-sink-mute", "speakers", "1"});
    ASSERT_TRUE(waitUntil([&] { return received.back().isMuted; }));
    pactl({"set-sink-mute", "speakers", "0"});
    ASSERT_TRUE(waitUntil([&] { return !received.back().isMuted; }));

    ASSERT_EQ(received.size(), 4u);
    EXPECT_NEAR(received[1].volume, 0.30, 0.5 / 100);
    EXPECT_FALSE(received[1].isMuted);
    AudioState muted = received[1];
    muted.isMuted = true;
    EXPECT_EQ(received[2], muted);
    EXPECT_EQ(received[3], received[1]);
}

TEST_P(AudioServiceSystemTest, SwitchingTheDefaultSinkYieldsOneStateForTheNewSinkOnly)
{
    startBound();
    pactl({"set-default-sink", "headphones"});
    ASSERT_TRUE(receivedCount(2));
    pactl({"set-sink-volume", "speakers", "20%"}); // the old sink: ignored
    pactl({"set-sink-volume", "headphones", "40%"});
    ASSERT_TRUE(receivedCount(3));
    pactl({"set-sink-mute", "headphones", "1"});
    ASSERT_TRUE(waitUntil([&] { return received.back().isMuted; }));

    ASSERT_EQ(received.size(), 4u);
    EXPECT_EQ(received[1], headphonesState);
    EXPECT_EQ(received[2].deviceName, "Headphones");
    EXPECT_NEAR(received[2].volume, 0.40, 0.5 / 100);
    EXPECT_EQ(received[3].deviceName, "Headphones");
}

TEST_P(AudioServiceSystemTest, SetVolumeClampsAndWritesWholeSteps)
{
    startBound();
    pactl({"set-sink-volume", "speakers", "50%"});
    ASSERT_TRUE(receivedCount(2));

    struct Row {
        double value;
        std::uint32_t raw;
        const char* why;
    };
    const Row rows[] = {
        {1.3, PulseAudioBackend::normalVolume, "above the range gives 100 %"},
        {-0.1, 0, "below the range gives 0 %"},
        {0.3, 19661, "30 % rounds to the nearest step, reading back as 30 %"},
        {std::numeric_limits<double>::quiet_NaN(), 0, "not a number gives 0 %"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        service->setVolume(row.value);
        const std::vector expected{row.raw, row.raw};
        EXPECT_TRUE(waitUntil([&] { return rawVolumes("speakers") == expected; }))
            << rawVolumes("speakers").front();
        EXPECT_EQ(service->currentState().volume, PulseAudioBackend::volumeFromRaw(row.raw));
    }
}

// The volume of a sink is its loudest channel, as the desktop's mixers show
// it, and never more than full. Writing scales every channel by the same
// factor, so the balance stays, and nothing above 100 % is ever written: a
// sink amplified past 100 % is only ever lowered, never by a volume of 1.
TEST_P(AudioServiceSystemTest, TheLoudestChannelIsTheVolumeAndWritesKeepTheBalance)
{
    constexpr double norm = PulseAudioBackend::normalVolume;
    struct Row {
        const char* why;
        QStringList channels; // as pactl sets them
        double reads;
        double write;
        std::vector<double> written; // the channels afterwards, as fractions of 100 %
    };
    const Row rows[] = {
        {"an uneven balance set lower", {"100%", "50%"}, 1.0, 0.5, {0.5, 0.25}},
        {"an uneven balance set to full stays as it is", {"100%", "50%"}, 1.0, 1.0, {1.0, 0.5}},
        {"a quiet uneven balance raised", {"40%", "20%"}, 0.4, 0.6, {0.6, 0.3}},
        {"an amplified sink set to full is left alone", {"150%"}, 1.0, 1.0, {1.5, 1.5}},
        {"an amplified uneven sink set lower", {"150%", "75%"}, 1.0, 0.5, {0.5, 0.25}},
    };
    startBound();
    // A mute toggled elsewhere after a change: once its state is in, the
    // service has seen the change before it.
    bool muted = false;
    const auto settle = [&] {
        muted = !muted;
        pactl({"set-sink-mute", "speakers", muted ? "1" : "0"});
        return waitUntil([&] { return received.back().isMuted == muted; });
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        pactl(QStringList{"set-sink-volume", "speakers"} + row.channels);
        ASSERT_TRUE(settle());
        EXPECT_NEAR(received.back().volume, row.reads, 1 / norm);

        service->setVolume(row.write);
        ASSERT_TRUE(settle());

        const auto channels = rawVolumes("speakers");
        ASSERT_EQ(channels.size(), row.written.size() == 1 ? 2u : row.written.size());
        for (std::size_t i = 0; i < channels.size(); ++i)
            EXPECT_NEAR(channels[i], row.written[std::min(i, row.written.size() - 1)] * norm, 1) << "channel " << i;
        EXPECT_LE(service->currentState().volume, 1.0);
    }
}

TEST_P(AudioServiceSystemTest, DeviceListMarksTheDefaultAndSetDefaultOutputSwitches)
{
    startBound();
    ASSERT_TRUE(outputsListed(2));
    auto devices = service->outputDevices();
    EXPECT_EQ(devices[0].name, "Speakers");
    EXPECT_EQ(devices[0].transport, Transport::virtual_);
    EXPECT_TRUE(devices[0].isDefault);
    EXPECT_EQ(devices[1].name, "Headphones");
    EXPECT_EQ(devices[1].transport, Transport::usb);
    EXPECT_FALSE(devices[1].isDefault);
    EXPECT_NE(devices[0].id, 0u) << "0 means no device";

    EXPECT_EQ(switchOutput(idOf("Headphones")), true);
    EXPECT_EQ(server.pactl({"get-default-sink"}).value_or("").trimmed(), "headphones");
    devices = service->outputDevices();
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_FALSE(devices[0].isDefault);
    EXPECT_TRUE(devices[1].isDefault);
    ASSERT_TRUE(receivedCount(2));
    EXPECT_EQ(received[1], headphonesState);

    EXPECT_EQ(switchOutput(4242), false) << "no such sink";

    // A sink loaded by another program joins the list.
    pactl({"load-module", "module-null-sink", "sink_name=monitor", "sink_properties=device.description=Monitor"});
    ASSERT_TRUE(outputsListed(3));
    EXPECT_EQ(service->outputDevices()[2].name, "Monitor");
}

TEST_P(AudioServiceSystemTest, AStoppedServerHoldsNeitherTheListNorASwitch)
{
    startBound();
    ASSERT_TRUE(outputsListed(2));
    const std::uint32_t headphones = idOf("Headphones");
    auto answer = std::make_shared<std::atomic<int>>(-1);

    testsupport::StoppedProcess stopped(pid_t(server.pid()));
    ASSERT_TRUE(stopped.isStopped());
    // Both return while the server cannot answer anything.
    const auto listed = service->outputDevices();
    service->setDefaultOutput(headphones, [answer](bool accepted) { *answer = accepted ? 1 : 0; });
    EXPECT_NE(*answer, 1) << "accepted by a stopped server";
    ASSERT_TRUE(stopped.resume());

    ASSERT_EQ(listed.size(), 2u) << "the kept list";
    EXPECT_TRUE(listed[0].isDefault);
    ASSERT_TRUE(waitUntil([&] { return *answer >= 0; }));
    // The switch may have given up on the stopped server; an accepted one
    // holds, and the list ends marking what the server holds.
    const bool switched = server.pactl({"get-default-sink"}).value_or("").trimmed() == "headphones";
    if (*answer == 1) {
        EXPECT_TRUE(switched);
    }
    ASSERT_TRUE(waitUntil([&] {
        const auto outputs = service->outputDevices();
        return outputs.size() == 2 && outputs[1].isDefault == switched && outputs[0].isDefault != switched;
    }));
}

TEST_P(AudioServiceSystemTest, ADaemonKilledMidwayIsRetriedCalmlyAndStatesResumeAfterItsRestart)
{
    startBound();
    server.kill();
    ASSERT_TRUE(waitUntil([&] { return !pulse->isAvailable(); }));

    // Without a server: safe answers, no crash, volume keys left to the system.
    EXPECT_FALSE(service->currentState().canSetVolume);
    service->setVolume(0.5);
    ASSERT_TRUE(outputsListed(0));
    EXPECT_EQ(switchOutput(1), false);

    // Pauses of 0.5, 1, 2, 4, 8 and then 10 s: nine attempts in a minute, not
    // a busy loop.
    const int attempts = runReconnects(60s);
    EXPECT_GE(attempts, 5);
    EXPECT_LE(attempts, 10);
    EXPECT_EQ(received.size(), 1u) << "nothing is published while the server is gone";

    ASSERT_TRUE(server.start()) << server.errorText().toStdString();
    runReconnects(10s);
    ASSERT_TRUE(receivedCount(2));
    EXPECT_EQ(received[1], speakersState);
    pactl({"set-sink-volume", "speakers", "30%"});
    ASSERT_TRUE(receivedCount(3));
    EXPECT_NEAR(received[2].volume, 0.30, 0.5 / 100);
}

TEST_P(AudioServiceSystemTest, WithoutAServerAtStartNothingIsPublishedUntilOneAppears)
{
    server.kill();
    service->start();
    EXPECT_GE(runReconnects(5s), 2);
    EXPECT_TRUE(received.empty());
    EXPECT_EQ(service->currentState(), AudioState{}) << "nothing bound yet";

    ASSERT_TRUE(server.start()) << server.errorText().toStdString();
    runReconnects(10s);
    ASSERT_TRUE(receivedCount(1));
    EXPECT_EQ(received.front(), speakersState);
}

INSTANTIATE_TEST_SUITE_P(, AudioServiceSystemTest, ::testing::ValuesIn(testsupport::installedSoundServers()),
                         testsupport::SoundServerKindName());

} // namespace
