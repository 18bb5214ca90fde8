// Which file a sound name plays; what is never played.
#include "Platform/Audio/CanberraSoundPlayer.h"

#include <gtest/gtest.h>

namespace {

TEST(CanberraSoundPlayerTest, NamesArePlainWordsInTheSoundsFolder)
{
    const std::filesystem::path folder = "/usr/share/vude/sounds";
    EXPECT_EQ(CanberraSoundPlayer::fileFor(folder, "Tink"), folder / "Tink.wav");
    EXPECT_EQ(CanberraSoundPlayer::fileFor(folder, "Pop"), folder / "Pop.wav");
    EXPECT_EQ(CanberraSoundPlayer::fileFor(folder, "low-battery_2"), folder / "low-battery_2.wav");
    for (const char* name : {"", "../Tink", "/etc/passwd", "sub/Tink", "Tink.wav", ".", "T ink", "Tink\n"})
        EXPECT_FALSE(CanberraSoundPlayer::fileFor(folder, name)) << name;
    EXPECT_FALSE(CanberraSoundPlayer::fileFor({}, "Tink")) << "no sounds folder";
}

TEST(CanberraSoundPlayerTest, ANameWithoutASoundPlaysNothing)
{
    CanberraSoundPlayer player(std::filesystem::path("/nonexistent/sounds"));
    player.play("NoSuchSound");
    player.play("../sounds/Tink");
    player.waitUntilIdle();
    EXPECT_EQ(player.playedCount(), 0);
    EXPECT_EQ(player.failedCount(), 2);
}

} // namespace
