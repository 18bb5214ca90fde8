#include "VudeServices/AudioService.h"

#include "AudioTestSupport.h"
#include "Platform/Audio/FakeAudioBackend.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <thread>

namespace {

using Transport = AudioState::Transport;
using testsupport::waitUntil;

const AudioDeviceInfo speakers{
    .id = 1,
    .name = "Speakers",
    .volume = 0.4,
    .attachment = {.bus = "pci", .api = "alsa", .isHardware = true},
};
const AudioDeviceInfo headphones{
    .id = 7,
    .name = "Headphones",
    .volume = 0.8,
    .attachment = {.bus = "bluetooth", .api = "bluez5", .isHardware = true},
};

const AudioState speakersState{.volume = 0.4, .deviceName = "Speakers", .transport = Transport::builtIn};
const AudioState headphonesState{.volume = 0.8, .deviceName = "Headphones", .transport = Transport::bluetooth};

// A service over a fake server with speakers (the default) and headphones.
class AudioServiceTest : public AudioServiceFixture {
protected:
    explicit AudioServiceTest(bool reachable = true)
    {
        auto backend = std::make_unique<FakeAudioBackend>(reachable);
        fake = backend.get();
        fake->putDevice(speakers);
        fake->putDevice(headphones);
        fake->changeDefaultOutput(speakers.id);
        makeService(std::move(backend));
    }

    FakeAudioBackend* fake = nullptr;
};

TEST_F(AudioServiceTest, PublishesTheDefaultOutputOnStartThenEachVolumeOrMuteChange)
{
    startBound();
    fake->changeDevice(speakers.id, 0.55, false);
    ASSERT_TRUE(receivedCount(2));
    fake->changeDevice(speakers.id, 0.55, true);
    ASSERT_TRUE(receivedCount(3));

    AudioState louder = speakersState;
    louder.volume = 0.55;
    AudioState muted = louder;
    muted.isMuted = true;
    EXPECT_EQ(received, (std::vector{speakersState, louder, muted})) << "start publishes exactly one state";
    EXPECT_EQ(service->deviceID(), speakers.id);
    EXPECT_EQ(service->currentState(), muted);
}

TEST_F(AudioServiceTest, WithoutADefaultOutputTheFirstStateIsTheDefaultState)
{
    fake->changeDefaultOutput(0);
    startBound();
    EXPECT_EQ(received.front(), AudioState{});
    EXPECT_EQ(service->currentState(), AudioState{});
}

TEST_F(AudioServiceTest, SwitchingTheDefaultOutputFollowsTheNewDeviceOnly)
{
    startBound();
    fake->changeDefaultOutput(headphones.id);
    ASSERT_TRUE(receivedCount(2));
    fake->changeDevice(speakers.id, 0.1, false); // the old device: stale
    fake->changeDevice(headphones.id, 0.2, false);
    ASSERT_TRUE(receivedCount(3));
    // A state for the stale event would come before this one.
    fake->changeDevice(headphones.id, 0.2, true);
    ASSERT_TRUE(waitUntil([&] { return received.back().isMuted; }));

    AudioState quieter = headphonesState;
    quieter.volume = 0.2;
    AudioState muted = quieter;
    muted.isMuted = true;
    EXPECT_EQ(received, (std::vector{speakersState, headphonesState, quieter, muted}));
    EXPECT_EQ(service->deviceID(), headphones.id);
}

TEST_F(AudioServiceTest, SetVolumeClampsToTheUnitRangeAndWritesTheBoundDevice)
{
    struct Row {
        double value;
        double written;
        const char* why;
    };
    const Row rows[] = {
        {1.3, 1.0, "above the range"},
        {-0.1, 0.0, "below the range"},
        {std::numeric_limits<double>::quiet_NaN(), 0.0, "not a number"},
        {std::numeric_limits<double>::infinity(), 1.0, "infinity"},
        {0.3, 0.3, "inside the range"},
    };
    service->setVolume(0.5);
    EXPECT_TRUE(fake->volumeWrites().empty()) << "nothing is bound before start";

    startBound();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        service->setVolume(row.value);
        ASSERT_FALSE(fake->volumeWrites().empty());
        EXPECT_EQ(fake->volumeWrites().back(), std::pair(speakers.id, row.written));
    }
}

TEST_F(AudioServiceTest, SetsTheServerHasNotAnsweredCountAsTheLevelUntilItAnswers)
{
    startBound();
    fake->holdSets();
    service->setVolume(0.5);
    service->setVolume(0.6);
    EXPECT_EQ(service->knownState().volume, 0.6) << "the newest set in flight";
    EXPECT_EQ(service->currentState().volume, 0.4) << "the server has not applied it";
    ASSERT_TRUE(receivedCount(3));
    EXPECT_EQ(received[1].volume, 0.5) << "each set is shown at once";
    EXPECT_EQ(received[2].volume, 0.6);

    fake->changeDevice(speakers.id, 0.4, true); // muted elsewhere meanwhile
    ASSERT_TRUE(waitUntil([&] { return received.back().isMuted; }));
    EXPECT_EQ(received.back().volume, 0.6) << "a read while sets are in flight keeps their level";

    fake->releaseSets();
    ASSERT_TRUE(waitUntil([&] { return service->knownState() == service->currentState(); }));
    EXPECT_EQ(service->knownState().volume, 0.6);
}

TEST_F(AudioServiceTest, SetsLostWithTheServerLeaveTheLevelLastRead)
{
    startBound();
    fake->holdSets();
    service->setVolume(0.9);
    EXPECT_EQ(service->knownState().volume, 0.9);
    service->stop(); // the server answers nothing held: not applied
    EXPECT_TRUE(waitUntil([&] { return service->knownState().volume == 0.4; }));
    EXPECT_EQ(fake->stopCount(), 1);
}

TEST_F(AudioServiceTest, NothingIsShownForASetWhileTheServerIsGone)
{
    startBound();
    fake->setReachable(false);
    ASSERT_TRUE(waitUntil([&] { return !service->knownState().canSetVolume; }))
        << "the keys go back to the system";
    service->setVolume(0.9);
    fake->setReachable(true);
    ASSERT_TRUE(receivedCount(2));
    EXPECT_EQ(received[1], speakersState) << "only the state read after the server's return";
}

TEST_F(AudioServiceTest, AnOutputWithoutVolumeControlIsReportedAsNotSettable)
{
    AudioDeviceInfo fixed = headphones;
    fixed.volume.reset();
    fake->putDevice(fixed);
    fake->changeDefaultOutput(fixed.id);
    startBound();

    AudioState expected = headphonesState;
    expected.volume = 0;
    expected.canSetVolume = false;
    EXPECT_EQ(received.front(), expected);
}

TEST_F(AudioServiceTest, AnOutputThatCannotBeReadIsNotSettable)
{
    startBound();
    fake->removeDevice(speakers.id);
    const auto state = service->currentState();
    EXPECT_FALSE(state.canSetVolume);
    EXPECT_EQ(state.transport, Transport::other);
    EXPECT_EQ(state.deviceName, "");
}

TEST_F(AudioServiceTest, LosingTheServerIsQuietAndItsReturnBindsTheNewDefault)
{
    startBound();
    fake->setReachable(false);
    EXPECT_FALSE(service->currentState().canSetVolume) << "volume keys go back to the system";
    fake->changeDefaultOutput(headphones.id); // meanwhile, elsewhere
    fake->setReachable(true);
    ASSERT_TRUE(receivedCount(2));
    fake->changeDevice(headphones.id, 0.2, false);
    ASSERT_TRUE(receivedCount(3));

    EXPECT_EQ(received[0], speakersState);
    EXPECT_EQ(received[1], headphonesState) << "nothing was published while the server was gone";
    EXPECT_EQ(received.size(), 3u);
}

TEST_F(AudioServiceTest, StopReleasesTheServerAndStartBindsAgain)
{
    startBound();
    service->stop();
    ASSERT_TRUE(waitUntil([&] { return fake->stopCount() == 1; }));
    EXPECT_FALSE(fake->isStarted());

    service->start();
    ASSERT_TRUE(receivedCount(2));
    EXPECT_EQ(received[1], speakersState);
}

TEST_F(AudioServiceTest, OutputDevicesMarkTheDefaultAndSwitchingMovesTheMark)
{
    EXPECT_TRUE(service->outputDevices().empty()) << "no server reached before start";
    startBound();
    fake->putDevice({.id = 9, .name = "", .volume = 1.0}); // nameless: not listed
    const std::vector<AudioOutputDevice> before{
        {speakers.id, "Speakers", Transport::builtIn, true},
        {headphones.id, "Headphones", Transport::bluetooth, false},
    };
    ASSERT_TRUE(outputsListed(2));
    EXPECT_EQ(service->outputDevices(), before);

    EXPECT_EQ(switchOutput(headphones.id), true);
    const auto after = service->outputDevices();
    ASSERT_EQ(after.size(), 2u) << "marked by the time the answer comes";
    EXPECT_FALSE(after[0].isDefault);
    EXPECT_TRUE(after[1].isDefault);

    EXPECT_EQ(switchOutput(0), false);
    EXPECT_EQ(switchOutput(42), false) << "no such device";
    EXPECT_TRUE(service->outputDevices()[1].isDefault) << "a refused switch moves no mark";
}

TEST_F(AudioServiceTest, TheKeptListFollowsOutputsComingAndGoingAndTheServerLeaving)
{
    startBound();
    ASSERT_TRUE(outputsListed(2));
    fake->putDevice({.id = 12, .name = "Monitor", .volume = 1.0});
    ASSERT_TRUE(outputsListed(3));
    EXPECT_EQ(service->outputDevices()[2], (AudioOutputDevice{12, "Monitor", Transport::virtual_, false}));
    fake->removeDevice(headphones.id);
    ASSERT_TRUE(outputsListed(2));
    EXPECT_EQ(service->outputDevices()[1].id, 12u);

    // Another program switches: the mark moves without a switch here.
    fake->changeDefaultOutput(12);
    ASSERT_TRUE(testsupport::waitUntil([&] { return service->outputDevices()[1].isDefault; }));

    fake->setReachable(false);
    ASSERT_TRUE(outputsListed(0)) << "no server, no outputs to pick";
    fake->setReachable(true);
    ASSERT_TRUE(outputsListed(2));
}

// Hands every call to a fake the test keeps, so the fake outlives the
// service; its first isAvailable() is slow, holding the service's queue.
class SlowForwardingBackend final : public AudioBackend {
public:
    explicit SlowForwardingBackend(FakeAudioBackend& target) : m_target(target) {}

    void setEventHandler(EventHandler handler) override { m_target.setEventHandler(std::move(handler)); }
    void start() override { m_target.start(); }
    void stop() override { m_target.stop(); }
    bool isAvailable() const override
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return m_target.isAvailable();
    }
    std::optional<std::uint32_t> defaultOutputDevice() override { return m_target.defaultOutputDevice(); }
    std::optional<AudioDeviceInfo> device(std::uint32_t id) override { return m_target.device(id); }
    std::vector<AudioDeviceInfo> outputDevices() override { return m_target.outputDevices(); }
    void setVolume(std::uint32_t id, double volume, SetDone done) override
    {
        m_target.setVolume(id, volume, std::move(done));
    }
    bool setDefaultOutput(std::uint32_t id) override { return m_target.setDefaultOutput(id); }

private:
    FakeAudioBackend& m_target;
};

TEST(AudioServiceLifetime, DestroyedRightAfterStartItLeavesTheServerStopped)
{
    FakeAudioBackend fake;
    fake.putDevice(speakers);
    fake.changeDefaultOutput(speakers.id);
    auto service = std::make_unique<AudioService>(std::make_unique<SlowForwardingBackend>(fake));
    service->start();
    service.reset(); // while the queued start is still running
    EXPECT_EQ(fake.startCount(), 1);
    EXPECT_FALSE(fake.isStarted()) << "the queued start ran after the service let go of the server";
}

class AudioServiceWithoutServerTest : public AudioServiceTest {
protected:
    AudioServiceWithoutServerTest() : AudioServiceTest(false) {}
};

TEST_F(AudioServiceWithoutServerTest, PublishesNothingUntilAServerAppears)
{
    service->start();
    ASSERT_TRUE(waitUntil([&] { return fake->isStarted(); }));
    EXPECT_TRUE(service->outputDevices().empty());
    EXPECT_EQ(service->currentState(), AudioState{}) << "nothing bound yet";

    fake->setReachable(true);
    ASSERT_TRUE(receivedCount(1));
    fake->changeDevice(speakers.id, 0.9, false);
    ASSERT_TRUE(receivedCount(2));
    EXPECT_EQ(received[0], speakersState) << "the first state follows the server's arrival";
}

} // namespace
