// The General pane: its switches and the settings they write, the tuning
// sliders and the panel rebuilds they cause, and the geometry report.
#include "Vude/Settings/GeneralPane.h"
#include "Vude/Settings/SettingsSwitch.h"
#include "Vude/Settings/SettingsText.h"
#include "Vude/Settings/SyncCard.h"
#include "Vude/Settings/ValueSlider.h"

#include "SettingsRig.h"
#include "WidgetPicture.h"

#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using settingstest::SettingsRig;

class GeneralPaneQtTest : public ::testing::Test {
protected:
    GeneralPane& make()
    {
        pane.reset(makeSettingsPaneView(SettingsPane::general, rig.environment, nullptr));
        pane->bind(settingsPaneInputs(SettingsPane::general, rig.services));
        pane->resize(520, pane->sizeHint().height());
        auto* general = dynamic_cast<GeneralPane*>(pane.get());
        EXPECT_NE(general, nullptr);
        return *general;
    }

    int rebuilds() const { return int(std::count(rig.services.log.begin(), rig.services.log.end(), "rebuildPanels")); }

    SettingsRig rig;
    std::unique_ptr<SettingsPaneView> pane;
};

TEST_F(GeneralPaneQtTest, EachSwitchWritesItsOwnKeyAtOnce)
{
    const std::vector<std::pair<const char*, const char*>> labelToKey{
        {"Launch at login", "launchAtLogin"},
        {"Glow around the notch", "progressiveBlur"},
        {"Contrast outline", "contrastOutline"},
        {"Haptic feedback", "hapticFeedback"},
        {"Expand on hover", "expandOnHover"},
        {"Prevent closing on mouse leave", "preventCloseOnMouseLeave"},
        {"Demo mode", "demoMode"},
        {"Natural movement", "naturalMovement"},
        {"Swipe to toggle open", "swipeToToggleOpen"},
        {"Swipe to cycle activity", "swipeToCycleActivity"},
        {"Swipe to dismiss activity", "swipeToDismissActivity"},
        {"Swipe to skip media", "swipeToSkipMedia"},
    };
    GeneralPane& general = make();
    general.show();
    for (const auto& [label, key] : labelToKey) {
        SCOPED_TRACE(label);
        SettingsSwitch* control = general.switchNamed(QString::fromUtf8(label));
        ASSERT_NE(control, nullptr);
        const bool before = control->isOn();
        const auto othersBefore = rig.defaults->dictionaryRepresentation();
        QTest::mouseClick(control, Qt::LeftButton);
        EXPECT_EQ(rig.defaults->boolForKey(key), !before) << "the click wrote the key";
        EXPECT_EQ(control->isOn(), !before) << "and the switch shows what was stored";
        auto othersAfter = rig.defaults->dictionaryRepresentation();
        othersAfter.erase(key);
        auto expected = othersBefore;
        expected.erase(key);
        EXPECT_EQ(othersAfter, expected) << "no other key changed";
        QTest::mouseClick(control, Qt::LeftButton);
        EXPECT_EQ(rig.defaults->boolForKey(key), before);
    }
    EXPECT_EQ(rebuilds(), 0);
}

TEST_F(GeneralPaneQtTest, TheDemoSwitchFollowsAWriteMadeElsewhere)
{
    GeneralPane& general = make();
    rig.store.setDemoMode(true);
    EXPECT_TRUE(general.switchNamed("Demo mode")->isOn());
    rig.store.setDemoMode(false);
    EXPECT_FALSE(general.switchNamed("Demo mode")->isOn());
}

TEST_F(GeneralPaneQtTest, BuildingThePaneRebuildsNothing)
{
    rig.store.setNotchWidthAdjust(7);
    rig.store.setNotchHeightAdjust(-3);
    GeneralPane& general = make();
    general.show();
    general.bind(settingsPaneInputs(SettingsPane::general, rig.services));
    EXPECT_TRUE(rig.services.log.empty());
    EXPECT_EQ(general.sliderNamed("Notch width")->shownText(), "7 px");
    EXPECT_EQ(general.sliderNamed("Notch height")->shownText(), "-3 px");
}

TEST_F(GeneralPaneQtTest, DraggingTheNotchWidthRebuildsAtEveryChangeAndShowsPixels)
{
    GeneralPane& general = make();
    general.show();
    ValueSlider* width = general.sliderNamed("Notch width");
    ASSERT_NE(width, nullptr);
    EXPECT_EQ(width->shownText(), "0 px");

    const std::vector<double> steps{-4.5, -9.75, -15, -20};
    for (double step : steps)
        emit width->moved(step);
    EXPECT_EQ(rig.store.notchWidthAdjust(), -20);
    EXPECT_EQ(width->shownText(), "-20 px");
    EXPECT_EQ(rebuilds(), int(steps.size())) << "one rebuild per written change";

    emit width->moved(-20);
    EXPECT_EQ(rebuilds(), int(steps.size())) << "the same value again is no change";
    emit width->moved(-9.75);
    EXPECT_EQ(width->shownText(), "-9 px") << "truncated toward zero";
}

TEST_F(GeneralPaneQtTest, EitherAdjustmentRebuildsWhoeverWritesItButContentPaddingNever)
{
    GeneralPane& general = make();
    rig.store.setNotchHeightAdjust(6);
    EXPECT_EQ(rebuilds(), 1) << "a write made elsewhere";
    rig.store.setNotchHeightAdjust(6);
    EXPECT_EQ(rebuilds(), 1);
    rig.store.setNotchHeightAdjust(40);
    EXPECT_EQ(rig.store.notchHeightAdjust(), 20);
    EXPECT_EQ(rebuilds(), 2) << "clamped, but a change";

    ValueSlider* padding = general.sliderNamed("Content padding");
    ASSERT_NE(padding, nullptr);
    emit padding->moved(20.6);
    emit padding->moved(3);
    EXPECT_EQ(rig.store.contentPadding(), 3);
    EXPECT_EQ(padding->shownText(), "3") << "no unit";
    EXPECT_EQ(rebuilds(), 2);
    rig.store.setDemoMode(true);
    EXPECT_EQ(rebuilds(), 2) << "any other write rebuilds nothing";
}

TEST_F(GeneralPaneQtTest, TheGeometryReportIsReadAgainAfterEachRebuild)
{
    rig.services.report = "Display 1: notch 200 x 32 at (860, 0)";
    GeneralPane& general = make();
    ASSERT_NE(general.geometryText(), nullptr);
    EXPECT_EQ(general.geometryText()->text(), "Display 1: notch 200 x 32 at (860, 0)");
    EXPECT_TRUE(general.geometryText()->textInteractionFlags() & Qt::TextSelectableByMouse);

    rig.services.report = "Display 1: notch 180 x 32 at (870, 0)\nDisplay 2: notch 200 x 30 at (2780, 0)";
    rig.store.setDemoMode(true);
    EXPECT_EQ(general.geometryText()->text(), "Display 1: notch 200 x 32 at (860, 0)")
        << "not read again while nothing was rebuilt";
    rig.store.setNotchWidthAdjust(-20);
    EXPECT_EQ(general.geometryText()->text(), QString::fromStdString(rig.services.report));

    rig.services.report.clear();
    general.hide();
    general.show();
    EXPECT_EQ(general.geometryText()->text(), "") << "no panel: an empty text, read again when shown";
}

TEST_F(GeneralPaneQtTest, ThePaneShowsItsSectionsInOrderAndAPicture)
{
    rig.services.report = "Display 1: notch 200 x 32 at (860, 0)";
    GeneralPane& general = make();
    general.show();
    ASSERT_NE(general.syncCard(), nullptr);
    QStringList titles;
    for (auto* text : general.findChildren<SettingsText*>(Qt::FindDirectChildrenOnly))
        titles << text->text();
    EXPECT_EQ(titles, QStringList({"Behaviour", "Gestures", "Tuning", "Sync folder", "Detected geometry"}));
    EXPECT_TRUE(testsupport::saveScreenshot(general, "GeneralPane"));
}

} // namespace
