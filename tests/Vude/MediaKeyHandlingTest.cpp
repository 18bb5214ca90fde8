// What the key handler decides for each key, before any service is asked.
#include "Vude/Bridge/MediaKeyHandling.h"

#include <gtest/gtest.h>

namespace {

using MediaKeyHandling::Target;

MediaKeyEvent down(MediaKey key, bool fine = false)
{
    return {.key = key, .isDown = true, .isFineAdjust = fine};
}

TEST(MediaKeyHandlingTest, AdjustedLevelTable)
{
    struct Row {
        const char* what;
        MediaKeyEvent event;
        std::optional<double> level;
        std::optional<double> want;
    };
    const std::vector<Row> rows{
        {"volume up", down(MediaKey::soundUp), 0.5, 0.5625},
        {"volume up, fine", down(MediaKey::soundUp, true), 0.5, 0.515625},
        {"volume down past silence is left to the service to clamp", down(MediaKey::soundDown), 0.03, 0.03 - 0.0625},
        {"volume up past full is left to the service to clamp", down(MediaKey::soundUp), 1.0, 1.0625},
        {"brightness up", down(MediaKey::brightnessUp), 0.25, 0.3125},
        {"brightness down, fine", down(MediaKey::brightnessDown, true), 0.25, 0.234375},
        {"illumination up", down(MediaKey::illuminationUp), 0.0, 0.0625},
        {"illumination down", down(MediaKey::illuminationDown), 1.0, 0.9375},
        {"a level that cannot be read", down(MediaKey::soundUp), std::nullopt, std::nullopt},
        {"mute", down(MediaKey::mute), 0.5, std::nullopt},
        {"play", down(MediaKey::play), 0.5, std::nullopt},
        {"next", down(MediaKey::next), 0.5, std::nullopt},
        {"previous", down(MediaKey::previous), 0.5, std::nullopt},
        {"fast", down(MediaKey::fast), 0.5, std::nullopt},
        {"rewind", down(MediaKey::rewind), 0.5, std::nullopt},
        {"key-up", {.key = MediaKey::soundUp, .isDown = false}, 0.5, std::nullopt},
        {"an auto-repeat applies one more step",
         {.key = MediaKey::soundUp, .isDown = true, .isRepeat = true}, 0.5625, 0.625},
    };
    for (const auto& row : rows)
        EXPECT_EQ(MediaKeyHandling::adjustedLevel(row.event, row.level), row.want) << row.what;
}

TEST(MediaKeyHandlingTest, TargetsAndStamps)
{
    EXPECT_EQ(MediaKeyHandling::targetOf(MediaKey::soundDown), Target::volume);
    EXPECT_EQ(MediaKeyHandling::targetOf(MediaKey::mute), Target::none);
    EXPECT_EQ(MediaKeyHandling::targetOf(MediaKey::brightnessDown), Target::brightness);
    EXPECT_EQ(MediaKeyHandling::targetOf(MediaKey::illuminationUp), Target::illumination);
    EXPECT_EQ(MediaKeyHandling::stampOf(MediaKey::brightnessUp), "brightness");
    EXPECT_EQ(MediaKeyHandling::stampOf(MediaKey::brightnessDown), "brightness");
    EXPECT_EQ(MediaKeyHandling::stampOf(MediaKey::illuminationUp), "illumination");
    EXPECT_EQ(MediaKeyHandling::stampOf(MediaKey::illuminationDown), "illumination");
    for (const auto key : {MediaKey::soundUp, MediaKey::soundDown, MediaKey::mute, MediaKey::play, MediaKey::rewind})
        EXPECT_FALSE(MediaKeyHandling::stampOf(key)) << rawValue(key);
}

TEST(MediaKeyHandlingTest, TraceLine)
{
    EXPECT_EQ(MediaKeyHandling::traceLine(down(MediaKey::illuminationDown, true)),
              "media key illuminationDown down=true fine=true");
    EXPECT_EQ(MediaKeyHandling::traceLine(down(MediaKey::soundUp)), "media key soundUp down=true fine=false");
}

} // namespace
