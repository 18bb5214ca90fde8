// The lock and unlock sounds the app ships, played through libcanberra on a
// private sound server (PulseAudio, and PipeWire's pulse server where it is
// installed), the way the desktop's sound server would receive them.
#include "Platform/Audio/CanberraSoundPlayer.h"

#include "PrivatePulseServer.h"
#include "TestSupport.h"

#include <QProcess>
#include <gtest/gtest.h>

namespace {

using testsupport::PrivatePulseServer;
using testsupport::SoundServerKind;
using testsupport::waitUntil;

class CanberraSoundPlayerSystemTest : public ::testing::TestWithParam<SoundServerKind> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.start()) << server.errorText().toStdString();
        // libcanberra reaches the sound server the way every client does.
        qputenv("PULSE_SERVER", server.address().toUtf8());
        watchStreams();
    }

    void TearDown() override
    {
        player.reset();
        subscription.kill();
        subscription.waitForFinished();
        qunsetenv("PULSE_SERVER");
    }

    // Follows the server's events with pactl, as a mixer would.
    void watchStreams()
    {
        subscription.start("pactl", {"-s", server.address(), "subscribe"});
        ASSERT_TRUE(subscription.waitForStarted());
        // pactl says nothing until something happens: change the sink until
        // it reports one, which proves it listens.
        int percent = 50;
        ASSERT_TRUE(waitUntil([&] {
            server.pactl({"set-sink-volume", "speakers", QString::number(++percent) + "%"});
            return events().contains("on sink");
        }));
    }

    QString events()
    {
        seen += QString::fromUtf8(subscription.readAllStandardOutput());
        return seen;
    }

    int newStreams() { return static_cast<int>(events().count("Event 'new' on sink-input")); }

    PrivatePulseServer server{{{"speakers", "device.description=Speakers"}}, GetParam()};
    QProcess subscription;
    QString seen;
    std::unique_ptr<CanberraSoundPlayer> player = std::make_unique<CanberraSoundPlayer>(
        std::filesystem::path(testsupport::sourceDir().toStdString()) / "Vude" / "sounds");
};

TEST_P(CanberraSoundPlayerSystemTest, TheShippedSoundsReachTheSoundServer)
{
    player->play("Tink");
    ASSERT_TRUE(waitUntil([&] { return newStreams() == 1; })) << events().toStdString();
    player->play("Pop");
    ASSERT_TRUE(waitUntil([&] { return newStreams() == 2; })) << events().toStdString();
    player->waitUntilIdle();
    EXPECT_EQ(player->playedCount(), 2);
    EXPECT_EQ(player->failedCount(), 0);
}

TEST_P(CanberraSoundPlayerSystemTest, ASoundServerThatGoesAndComesBackIsFoundAgain)
{
    player->play("Tink");
    ASSERT_TRUE(waitUntil([&] { return newStreams() == 1; }));

    // With no sound server, nothing plays and nothing breaks.
    server.kill();
    player->play("Pop");
    player->waitUntilIdle();

    ASSERT_TRUE(server.start()) << server.errorText().toStdString();
    subscription.kill();
    subscription.waitForFinished();
    seen.clear();
    watchStreams();
    player->play("Pop");
    ASSERT_TRUE(waitUntil([&] { return newStreams() == 1; })) << events().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Servers, CanberraSoundPlayerSystemTest,
                         ::testing::ValuesIn(testsupport::installedSoundServers()),
                         testsupport::SoundServerKindName{});

} // namespace
