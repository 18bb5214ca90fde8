#include "Vude/App/SettingsWindowPlacement.h"

#include <gtest/gtest.h>

namespace {

using namespace SettingsWindowPlacement;

TEST(SettingsWindowPlacementTest, SavedFrameOnlyWhileItMeetsAScreen)
{
    const QRect primary(0, 0, 1920, 1080);
    const std::vector<QRect> screens{primary, QRect(1920, 0, 1280, 1024)};
    const QRect centredFrame(550, 260, 820, 560);
    struct Row {
        const char* name;
        std::optional<QRect> saved;
        QRect expected;
    };
    const Row rows[] = {
        {"nothing saved", std::nullopt, centredFrame},
        {"on the second screen", QRect(2000, 100, 820, 560), QRect(2000, 100, 820, 560)},
        {"partly on a screen", QRect(-700, -500, 820, 560), QRect(-700, -500, 820, 560)},
        {"on a screen since unplugged", QRect(3300, 0, 820, 560), centredFrame},
        {"far above every screen", QRect(100, -2000, 820, 560), centredFrame},
    };
    for (const auto& row : rows)
        EXPECT_EQ(frame(row.saved, contentSize, primary, screens), row.expected) << row.name;
}

TEST(SettingsWindowPlacementTest, FrameTextRoundTripsAndBadTextIsIgnored)
{
    EXPECT_EQ(decode(encode(QRect(-20, 35, 900, 600))), QRect(-20, 35, 900, 600));
    for (const char* bad : {"", "1 2 3", "1 2 0 5", "1 2 -3 5", "a b c d", "1 2 3 4 5", "1.5 2 3 4"})
        EXPECT_EQ(decode(bad), std::nullopt) << bad;
}

} // namespace
