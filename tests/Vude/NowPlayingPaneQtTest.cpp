// The Now Playing pane: its own first card (no header card; the idle slider
// stays active while the activity is off), the progress bar's tiles with
// the middle one titled "Artwork", the three behaviours, and the card shown
// last when not every player can be read.
#include "Vude/Settings/NoticeCards.h"
#include "Vude/Settings/NowPlayingPane.h"
#include "Vude/Settings/PreviewPicker.h"
#include "Vude/Settings/SettingsCard.h"
#include "Vude/Settings/SettingsSwitch.h"
#include "Vude/Settings/SettingsText.h"
#include "Vude/Settings/ValueSlider.h"
#include "Vude/Toolkit/Dimming.h"
#include "Vude/Toolkit/PlainButton.h"

#include "PaneFixture.h"

#include <QTest>

#include <gtest/gtest.h>

namespace {

class NowPlayingPaneQtTest : public settingstest::PaneFixture<NowPlayingPane> {
protected:
    NowPlayingPane& make(std::optional<Capability> capabilities)
    {
        rig.services.capabilities = capabilities;
        return PaneFixture::make(SettingsPane::nowPlaying);
    }
};

TEST_F(NowPlayingPaneQtTest, WithEveryPlayerReadThePaneIsExactlyTwoCards)
{
    NowPlayingPane& nowPlaying = make(Capability::universalNowPlaying);
    EXPECT_EQ(blocks(), std::vector<QWidget*>({nowPlaying.activityCard(), nowPlaying.optionsCard()}));
    EXPECT_EQ(nowPlaying.fallbackCard(), nullptr);
    EXPECT_TRUE(picture("NowPlayingPane"));
}

TEST_F(NowPlayingPaneQtTest, WithoutTheHelperTheCardComesLastAndEveryControlStillWorks)
{
    NowPlayingPane& nowPlaying = make(std::nullopt);
    ASSERT_NE(nowPlaying.fallbackCard(), nullptr);
    EXPECT_EQ(blocks(), std::vector<QWidget*>(
                            {nowPlaying.activityCard(), nowPlaying.optionsCard(), nowPlaying.fallbackCard()}));
    EXPECT_EQ(nowPlaying.fallbackCard()->titleText()->text(), "Now playing is off");
    EXPECT_EQ(nowPlaying.fallbackCard()->detailText()->text(),
              "Vude's media helper isn't responding, so no player appears. Vude restarts the helper by itself and "
              "reads every MPRIS player once it answers.");
    EXPECT_TRUE(picture("NowPlayingPane-fallback"));

    struct Row {
        const char* label;
        bool (SettingsStore::*get)() const;
    };
    const std::vector<Row> rows{
        {"Now Playing", &SettingsStore::nowPlayingEnabled},
        {"Peek when the track changes", &SettingsStore::nowPlayingPeekOnChange},
        {"Disable artwork flip", &SettingsStore::nowPlayingDisableArtworkFlip},
        {"Hide while the playing app is in front", &SettingsStore::nowPlayingHideWhileSourceActive},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        SettingsSwitch* control = nowPlaying.switchNamed(QString::fromUtf8(row.label));
        ASSERT_NE(control, nullptr);
        EXPECT_DOUBLE_EQ(Dimming::drawnOpacity(*control), 1.0);
        const bool before = (rig.store.*row.get)();
        QTest::mouseClick(control, Qt::LeftButton);
        EXPECT_EQ((rig.store.*row.get)(), !before);
        EXPECT_EQ(control->isOn(), !before);
    }
    QTest::mouseClick(nowPlaying.barPicker()->tile(2), Qt::LeftButton);
    EXPECT_EQ(rig.store.nowPlayingBarStyle(), MediaBarStyle::gradient);
}

TEST_F(NowPlayingPaneQtTest, TheIdleSliderStaysActiveWhileTheActivityIsOff)
{
    NowPlayingPane& nowPlaying = make(Capability::universalNowPlaying);
    ValueSlider& idle = *nowPlaying.idleSlider();
    EXPECT_EQ(idle.label(), "Idle duration");
    EXPECT_EQ(idle.lower(), 1);
    EXPECT_EQ(idle.upper(), 30);
    EXPECT_EQ(idle.shownText(), "3 s");

    QTest::mouseClick(nowPlaying.enabledSwitch(), Qt::LeftButton);
    ASSERT_FALSE(rig.store.nowPlayingEnabled());
    EXPECT_TRUE(idle.isEnabled());
    EXPECT_DOUBLE_EQ(Dimming::drawnOpacity(idle), 1.0);
    QTest::mouseClick(&idle, Qt::LeftButton, {}, QPoint(idle.width() - ValueSlider::horizontalPadding - 2,
                                                        idle.height() - ValueSlider::verticalPadding - 8));
    EXPECT_GT(rig.store.nowPlayingIdleDuration(), 25) << "the pointer still sets it";
    rig.store.setNowPlayingIdleDuration(90);
    EXPECT_EQ(idle.shownText(), "30 s");
}

TEST_F(NowPlayingPaneQtTest, TheMiddleTileIsArtworkAndDrawsTheArtworkColour)
{
    NowPlayingPane& nowPlaying = make(Capability::universalNowPlaying);
    PreviewPicker& picker = *nowPlaying.barPicker();
    EXPECT_EQ(picker.label(), "Progress bar");
    ASSERT_EQ(picker.count(), 3);
    EXPECT_EQ(QStringList({picker.title(0), picker.title(1), picker.title(2)}),
              QStringList({"Monochrome", "Artwork", "Gradient"}));
    EXPECT_EQ(picker.selectedIndex(), 0) << "monochrome by default";

    QTest::mouseClick(picker.tile(1), Qt::LeftButton);
    EXPECT_EQ(rig.store.nowPlayingBarStyle(), MediaBarStyle::colored);
    EXPECT_EQ(picker.selectedIndex(), 1);

    const QImage image = testsupport::picture(picker);
    const QRect tile = picker.tile(1)->geometry();
    const QPoint capsuleCentre(tile.center().x(), tile.top() + int(PreviewPicker::previewHeight / 2));
    EXPECT_EQ(image.pixelColor(capsuleCentre).rgb(), QColor(138, 127, 112).rgb());
}

} // namespace
