#include "Platform/Settings/ReduceMotionSetting.h"
#include "Vude/Shell/Views/NotchDemoView.h"

#include <QDir>
#include <QImage>

#include <gtest/gtest.h>

namespace {

using Script = NotchDemo::Script;

QImage render(NotchDemoView& view)
{
    QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    view.render(&image);
    return image;
}

/// The width of the black run across row `y` through the centre.
int blackWidth(const QImage& image, int y)
{
    int width = 0;
    for (int x = 0; x < image.width(); ++x)
        if (image.pixelColor(x, y) == QColor(Qt::black))
            ++width;
    return width;
}

TEST(NotchDemoViewQtTest, OnePictureAPerBeatAndTheNotchTakesItsSize)
{
    QDir().mkpath("screenshots");
    ManualClock clock{kReferenceDate};
    ManualScheduler scheduler{clock};
    struct Row {
        Script script;
        int beat;
        const char* name;
    };
    const Row rows[] = {{Script::overview, 0, "overview-0"}, {Script::overview, 1, "overview-1"},
                        {Script::overview, 2, "overview-2"}, {Script::gestures, 0, "gestures-0"},
                        {Script::gestures, 1, "gestures-1"}, {Script::gestures, 2, "gestures-2"},
                        {Script::gestures, 3, "gestures-3"}, {Script::gestures, 4, "gestures-4"},
                        {Script::media, 0, "media-0"},       {Script::ravo, 0, "ravo-0"},
                        {Script::ravo, 1, "ravo-1"}};
    for (const auto& row : rows) {
        NotchDemoView view(row.script, 120, 24, scheduler, clock);
        view.resize(360, NotchDemoView::cardHeight);
        view.showBeat(row.beat);
        const QImage image = render(view);
        image.save(QStringLiteral("screenshots/notch-demo-%1.png").arg(row.name));
        const auto size = view.demo().currentSize();
        // Just under the top edge the body is the notch's width less its flares.
        const int measured = blackWidth(image, 4);
        EXPECT_NEAR(measured, size.width - 6, 4) << row.name;
        // Below the notch only the desktop shows.
        EXPECT_NE(image.pixelColor(180, int(size.height) + 4), QColor(Qt::black)) << row.name;
    }
}

TEST(NotchDemoViewQtTest, PlaysWhileShownAndStopsWhenHidden)
{
    ManualClock clock{kReferenceDate};
    ManualScheduler scheduler{clock};
    NotchDemoView view(Script::ravo, 120, 24, scheduler, clock);
    view.show();
    EXPECT_TRUE(view.demo().isRunning());
    scheduler.advance(std::chrono::milliseconds(1200));
    EXPECT_EQ(view.demo().beat(), 1);
    view.hide();
    EXPECT_FALSE(view.demo().isRunning());
    scheduler.advance(std::chrono::seconds(10));
    EXPECT_EQ(view.demo().beat(), 1);
    // Shown again, it starts over.
    view.show();
    EXPECT_EQ(view.demo().beat(), 0);
}

TEST(NotchDemoViewQtTest, TheNotchSpringsToEachBeatsSize)
{
    ManualClock clock{kReferenceDate};
    ManualScheduler scheduler{clock};
    NotchDemoView view(Script::ravo, 120, 24, scheduler, clock);
    view.show();
    EXPECT_EQ(view.drawnSize(), (NotchDemo::Size{120, 24}));
    scheduler.advance(std::chrono::milliseconds(1200));
    ASSERT_EQ(view.demo().beat(), 1);
    // On its way to the open Desk.
    scheduler.advance(std::chrono::milliseconds(100));
    EXPECT_GT(view.drawnSize().width, 120);
    EXPECT_LT(view.drawnSize().width, 250);
    scheduler.advance(std::chrono::milliseconds(2000));
    EXPECT_NEAR(view.drawnSize().width, 250, 0.5);
    EXPECT_NEAR(view.drawnSize().height, 96, 0.5);
}

TEST(NotchDemoViewQtTest, EachGestureCueFadesInOnItsBeatAndOutOnTheNext)
{
    // The gestures script: beat 0 for 0.6 s, then beats 1 to 4 for 1.2 s each.
    using std::chrono::milliseconds;
    ManualClock clock{kReferenceDate};
    ManualScheduler scheduler{clock};
    NotchDemoView view(Script::gestures, 120, 24, scheduler, clock);
    view.show();
    EXPECT_EQ(view.cueOpacity(1), 0);
    scheduler.advance(milliseconds(600));
    ASSERT_EQ(view.demo().beat(), 1);
    EXPECT_LT(view.cueOpacity(1), 0.05) << "fades in from nothing";
    scheduler.advance(milliseconds(100));
    const double rising = view.cueOpacity(1);
    EXPECT_GT(rising, 0.05);
    EXPECT_LT(rising, 0.95);
    scheduler.advance(milliseconds(1000));
    EXPECT_NEAR(view.cueOpacity(1), 1, 0.02) << "in full for the rest of its beat";
    scheduler.advance(milliseconds(100));
    ASSERT_EQ(view.demo().beat(), 2);
    scheduler.advance(milliseconds(100));
    EXPECT_GT(view.cueOpacity(1), 0.05) << "still fading out";
    EXPECT_LT(view.cueOpacity(1), 0.95);
    EXPECT_GT(view.cueOpacity(2), 0.05);
    scheduler.advance(milliseconds(1000));
    EXPECT_NEAR(view.cueOpacity(1), 0, 0.02);
    EXPECT_NEAR(view.cueOpacity(2), 1, 0.02);
}

TEST(NotchDemoViewQtTest, UnderReduceMotionTheCueSwitchesAtOnce)
{
    ManualClock clock{kReferenceDate};
    ManualScheduler scheduler{clock};
    FixedReduceMotionSetting reduce{true};
    NotchDemoView view(Script::gestures, 120, 24, scheduler, clock, &reduce);
    view.show();
    scheduler.advance(std::chrono::milliseconds(600));
    ASSERT_EQ(view.demo().beat(), 1);
    EXPECT_EQ(view.cueOpacity(1), 1);
    scheduler.advance(std::chrono::milliseconds(1200));
    ASSERT_EQ(view.demo().beat(), 2);
    EXPECT_EQ(view.cueOpacity(1), 0);
    EXPECT_EQ(view.cueOpacity(2), 1);
}

} // namespace
