// Which of a camera's formats the mirror captures in.
#include "Platform/Camera/Module/CameraFormats.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using CameraFormats::Format;

TEST(CameraFormatsTest, TheSmallestFormatOfAtLeastMediumSizeIsChosen)
{
    struct Case {
        const char* name;
        std::vector<Format> formats;
        std::optional<std::size_t> chosen;
    };
    const Case cases[] = {
        {"none offered", {}, std::nullopt},
        {"the smallest that is big enough",
         {{1920, 1080, 30}, {640, 480, 30}, {320, 240, 30}, {1280, 720, 30}},
         1},
        {"exactly medium is enough", {{640, 480, 30}, {480, 360, 15}}, 1},
        {"the faster of two equal sizes", {{640, 480, 15}, {640, 480, 30}, {640, 480, 25}}, 1},
        {"wide enough but too short is not enough", {{800, 300, 30}, {1280, 720, 30}}, 1},
        {"all too small: the largest", {{160, 120, 30}, {320, 240, 30}, {176, 144, 30}}, 1},
        {"one alone", {{160, 120, 30}}, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CameraFormats::mediumFormat(c.formats), c.chosen) << c.name;
}

} // namespace
