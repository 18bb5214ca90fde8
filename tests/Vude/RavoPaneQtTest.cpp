// The Widgets pane: the preview's layout and scale, the overflow sentence,
// the rows (order, arrows, switches), the width card, and the one
// onLayoutChanged after every write.
#include "Vude/Settings/RavoPane.h"
#include "Vude/Settings/SettingsSwitch.h"
#include "Vude/Settings/SettingsText.h"
#include "Vude/Settings/ValueSlider.h"
#include "Vude/Toolkit/PlainButton.h"

#include "SettingsRig.h"
#include "WidgetPicture.h"

#include <QTest>

#include <gtest/gtest.h>

namespace {

using settingstest::SettingsRig;

TEST(RavoPaneRules, TheOverflowSentenceSaysDoesntForOneAndDontForMore)
{
    EXPECT_EQ(RavoPane::overflowSentence({}), std::nullopt);
    EXPECT_EQ(RavoPane::overflowSentence({WidgetID::notes}), "Notes doesn't fit and won't be shown.");
    EXPECT_EQ(RavoPane::overflowSentence({WidgetID::notes, WidgetID::audioDevice}),
              "Notes, Sound Output don't fit and won't be shown.");
    EXPECT_EQ(RavoPane::overflowSentence({WidgetID::notes, WidgetID::weather, WidgetID::mirror}),
              "Notes, Weather, Mirror don't fit and won't be shown.");
}

TEST(RavoPaneRules, TheWidthFootnoteAndTheAvailableWidth)
{
    EXPECT_EQ(RavoPane::widthFootnote(WidgetID::media),
              "Each cell is 54 pt. A widget won't go below 4 cells \u2014 narrower than that it stops being useful "
              "rather than just tight.");
    EXPECT_EQ(RavoPane::availableWidth(std::nullopt), 1360);
    EXPECT_EQ(RavoPane::availableWidth(1920), 1840);
    for (const auto& [value, cells] : std::vector<std::pair<double, int>>{{2.5, 3}, {2.49, 2}, {3.5, 4}, {7.6, 8}})
        EXPECT_EQ(RavoPane::cellsFor(value), cells) << value;
}

TEST(RavoPaneRules, ThePreviewScalesAWideRowDownButNoTileBelowThirtyPoints)
{
    auto defaults = std::make_shared<InMemoryUserDefaults>();
    SettingsStore store(defaults);
    store.setContentPadding(10);

    store.setEnabledWidgets({});
    RavoPane::Preview none = RavoPane::preview(store, 1360);
    EXPECT_TRUE(none.layout.isEmpty());
    EXPECT_EQ(none.scale, 1);
    EXPECT_TRUE(none.tileWidths.empty());

    store.setEnabledWidgets({WidgetID::mirror});
    RavoPane::Preview narrow = RavoPane::preview(store, 1360);
    ASSERT_EQ(narrow.tileWidths.size(), 1u);
    EXPECT_EQ(narrow.layout.totalWidth, 2 * 54 + 2 * 10) << "the user's padding, not the Desk's 18";
    EXPECT_EQ(narrow.scale, 1);
    EXPECT_EQ(narrow.tileWidths[0], 108);

    store.setEnabledWidgets({WidgetID::media, WidgetID::calendar, WidgetID::mirror});
    store.setCells(8, WidgetID::media);
    RavoPane::Preview wide = RavoPane::preview(store, 1360);
    ASSERT_EQ(wide.tileWidths.size(), 3u);
    EXPECT_GT(wide.layout.totalWidth, 430);
    EXPECT_DOUBLE_EQ(wide.scale, 430 / wide.layout.totalWidth);
    for (std::size_t i = 0; i < wide.tileWidths.size(); ++i) {
        const WidgetPlacement& placement = wide.layout.placements[i];
        EXPECT_DOUBLE_EQ(wide.tileWidths[i], std::max(placement.width * wide.scale, 30.0)) << i;
        if (placement.id == WidgetID::media)
            EXPECT_DOUBLE_EQ(wide.tileWidths[i], 8 * 54 * wide.scale);
    }

    RavoPane::Preview tight = RavoPane::preview(store, 600);
    EXPECT_FALSE(tight.layout.overflow.empty()) << "a small screen leaves widgets out";
}

class RavoPaneQtTest : public ::testing::Test {
protected:
    RavoPane& make()
    {
        pane.reset(makeSettingsPaneView(SettingsPane::ravo, rig.environment, nullptr));
        pane->bind(settingsPaneInputs(SettingsPane::ravo, rig.services));
        pane->resize(520, pane->sizeHint().height());
        pane->show();
        auto* ravo = dynamic_cast<RavoPane*>(pane.get());
        EXPECT_NE(ravo, nullptr);
        // Every write, in the same log as the calls into the app.
        observer = rig.store.addObserver([this] { rig.services.log.push_back("write"); });
        return *ravo;
    }
    void TearDown() override
    {
        rig.store.removeObserver(observer);
        pane.reset();
    }

    std::vector<WidgetID> shownOrder(const RavoPane& ravo) const
    {
        std::vector<WidgetID> order;
        for (auto* row : ravo.rows())
            order.push_back(row->id());
        return order;
    }

    SettingsRig rig;
    std::unique_ptr<SettingsPaneView> pane;
    std::uint64_t observer = 0;
};

TEST_F(RavoPaneQtTest, ASavedOrderWithGapsAndRepeatsListsElevenRowsWithTheEndArrowsOff)
{
    rig.store.setWidgetOrder({WidgetID::notes, WidgetID::media, WidgetID::notes});
    RavoPane& ravo = make();
    const auto order = shownOrder(ravo);
    EXPECT_EQ(order, WidgetLayoutEngine::normalise({WidgetID::notes, WidgetID::media}));
    ASSERT_EQ(order.size(), 11u);
    for (std::size_t i = 0; i < order.size(); ++i) {
        RavoWidgetRow* row = ravo.row(order[i]);
        EXPECT_EQ(row->upArrow()->isEnabled(), i > 0) << i;
        EXPECT_EQ(row->downArrow()->isEnabled(), i + 1 < order.size()) << i;
    }
    EXPECT_EQ(ravo.selected(), WidgetID::media);
    EXPECT_TRUE(ravo.row(WidgetID::media)->isSelected());
    EXPECT_EQ(ravo.widthTitle()->text(), "Media Player");
    EXPECT_TRUE(rig.services.log.empty()) << "showing the pane writes and lays out nothing";
}

TEST_F(RavoPaneQtTest, EachActionWritesThenCallsOnLayoutChangedOnce)
{
    RavoPane& ravo = make();
    const std::vector<std::string> once{"write", "relayoutWidgets"};

    RavoWidgetRow* weather = ravo.row(WidgetID::weather);
    const bool wasOn = weather->isOn();
    QTest::mouseClick(weather->enableSwitch(), Qt::LeftButton);
    EXPECT_EQ(rig.services.log, once) << "toggle";
    EXPECT_EQ(rig.store.enabledWidgets().contains(WidgetID::weather), !wasOn);
    EXPECT_EQ(weather->enableSwitch()->isOn(), !wasOn);

    rig.services.log.clear();
    const auto before = shownOrder(ravo);
    const auto at = std::find(before.begin(), before.end(), WidgetID::weather) - before.begin();
    QTest::mouseClick(weather->upArrow(), Qt::LeftButton);
    EXPECT_EQ(rig.services.log, once) << "move";
    const auto after = shownOrder(ravo);
    EXPECT_EQ(after, WidgetLayoutEngine::move(before, int(at), int(at) - 1));
    EXPECT_EQ(rig.store.widgetOrder(), after);

    rig.services.log.clear();
    ravo.select(WidgetID::timer);
    EXPECT_TRUE(rig.services.log.empty()) << "selecting writes nothing";
    ValueSlider* width = ravo.widthSlider();
    ASSERT_NE(width, nullptr);
    EXPECT_EQ(width->lower(), 2);
    EXPECT_EQ(width->upper(), 8);
    emit width->moved(2.5);
    EXPECT_EQ(rig.services.log, once) << "width";
    EXPECT_EQ(rig.store.widgetCells().at(WidgetID::timer), 3) << "2.5 rounds away from zero";
    EXPECT_EQ(width->shownText(), "3 cells");
    EXPECT_EQ(ravo.row(WidgetID::timer)->cells(), 3);
}

TEST_F(RavoPaneQtTest, StoredWidthsAreClampedToTheWidgetsRange)
{
    RavoPane& ravo = make();
    ravo.select(WidgetID::calendar);
    emit ravo.widthSlider()->moved(8.4);
    EXPECT_EQ(rig.store.widgetCells().at(WidgetID::calendar), 8);
    rig.store.setCells(1, WidgetID::calendar);
    EXPECT_EQ(rig.store.widgetCells().at(WidgetID::calendar), 3);
    EXPECT_EQ(ravo.widthSlider()->shownText(), "3 cells") << "the card follows a write made elsewhere";
}

TEST_F(RavoPaneQtTest, ATileOrARowSelectsItsWidgetAndTurningOffKeepsTheRow)
{
    rig.store.setEnabledWidgets({WidgetID::mirror, WidgetID::weather, WidgetID::timer});
    RavoPane& ravo = make();
    const auto tiles = ravo.previewView()->tiles();
    ASSERT_EQ(tiles.size(), 3u);
    EXPECT_TRUE(testsupport::saveScreenshot(ravo, "RavoPane"));

    QTest::mouseClick(ravo.previewView(), Qt::LeftButton, {}, tiles[1].second.center().toPoint());
    EXPECT_EQ(ravo.selected(), tiles[1].first);
    EXPECT_EQ(ravo.widthTitle()->text(), QString::fromUtf8(displayName(tiles[1].first).data()));

    QTest::mouseClick(ravo.row(WidgetID::notes), Qt::LeftButton, {}, QPoint(200, 10));
    EXPECT_EQ(ravo.selected(), WidgetID::notes);
    EXPECT_TRUE(ravo.row(WidgetID::notes)->isSelected());
    EXPECT_FALSE(ravo.row(tiles[1].first)->isSelected());

    const auto order = shownOrder(ravo);
    QTest::mouseClick(ravo.row(WidgetID::timer)->enableSwitch(), Qt::LeftButton);
    EXPECT_FALSE(rig.store.enabledWidgets().contains(WidgetID::timer));
    EXPECT_EQ(shownOrder(ravo), order) << "the row stays in place";
    for (const auto& [id, rect] : ravo.previewView()->tiles())
        EXPECT_NE(id, WidgetID::timer) << "its tile is gone";
}

TEST_F(RavoPaneQtTest, NothingEnabledShowsTheEmptyDeskAndNoOverflow)
{
    rig.store.setEnabledWidgets({});
    RavoPane& ravo = make();
    EXPECT_TRUE(ravo.previewView()->tiles().empty());
    EXPECT_EQ(ravo.previewView()->overflowText(), std::nullopt);
    EXPECT_EQ(ravo.previewView()->shown().scale, 1);
    EXPECT_TRUE(testsupport::saveScreenshot(ravo, "RavoPane-empty"));
}

} // namespace
