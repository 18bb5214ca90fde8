// The Sound, Display and Battery panes: which setting each control writes,
// the bar looks each offers, the dimmed cards where brightness cannot be
// read or a warning is off, the shared HUD replacement and the one tap
// restart it causes, and one picture per pane and state.
#include "Vude/Settings/ActivityHeaderCard.h"
#include "Vude/Settings/BatteryPane.h"
#include "Vude/Settings/DisplayPane.h"
#include "Vude/Settings/NoticeCards.h"
#include "Vude/Settings/PreviewPicker.h"
#include "Vude/Settings/SettingsCard.h"
#include "Vude/Settings/SettingsSwitch.h"
#include "Vude/Settings/SettingsText.h"
#include "Vude/Settings/SoundPane.h"
#include "Vude/Settings/SuppressionCard.h"
#include "Vude/Settings/ValueSlider.h"
#include "Vude/Toolkit/AccentButton.h"
#include "Vude/Toolkit/Dimming.h"
#include "VudeKit/LinuxTexts.h"

#include "BridgeRig.h"
#include "SettingsRig.h"
#include "WidgetPicture.h"

#include <QLayout>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using settingstest::SettingsRig;

/// Gives `pane` `width` and the height its wrapped texts need there.
void fit(QWidget& pane, int width)
{
    // Rows shown or hidden since the last layout take their place first:
    // each level of nested layouts hears of it on the next pass.
    for (int pass = 0; pass < 6; ++pass)
        QApplication::processEvents();
    const int height = pane.layout()->hasHeightForWidth() ? pane.layout()->heightForWidth(width)
                                                          : pane.sizeHint().height();
    pane.resize(width, height);
    QApplication::processEvents();
}

class ActivityPanesQtTest : public ::testing::Test {
protected:
    /// The pane of `which`, bound to what the services answer now, shown.
    template <typename Pane>
    Pane& make(SettingsPane which)
    {
        return make<Pane>(which, settingsPaneInputs(which, rig.services));
    }

    template <typename Pane>
    Pane& make(SettingsPane which, const SettingsPaneInputs& inputs)
    {
        auto& held = panes.emplace_back(makeSettingsPaneView(which, rig.environment, nullptr));
        held->bind(inputs);
        fit(*held, 560);
        held->show();
        auto* pane = dynamic_cast<Pane*>(held.get());
        EXPECT_NE(pane, nullptr);
        return *pane;
    }

    /// Clicks the switch labelled `label` and says which stored keys changed.
    std::vector<std::string> keysWrittenBy(ActivityPane& pane, const QString& label)
    {
        SettingsSwitch* control = pane.switchNamed(label);
        EXPECT_NE(control, nullptr) << label.toStdString();
        if (!control)
            return {};
        const auto before = rig.defaults->dictionaryRepresentation();
        QTest::mouseClick(control, Qt::LeftButton);
        const auto after = rig.defaults->dictionaryRepresentation();
        std::vector<std::string> changed;
        for (const auto& [key, value] : after)
            if (!before.contains(key) || before.at(key) != value)
                changed.push_back(key);
        return changed;
    }

    static std::vector<QString> titles(const PreviewPicker& picker)
    {
        std::vector<QString> shown;
        for (int index = 0; index < picker.count(); ++index)
            shown.push_back(picker.title(index));
        return shown;
    }

    SettingsRig rig;
    std::vector<std::unique_ptr<SettingsPaneView>> panes;
};

// MARK: - Sound

TEST_F(ActivityPanesQtTest, EverySoundSwitchWritesItsOwnSetting)
{
    auto& sound = make<SoundPane>(SettingsPane::sound);
    const std::vector<std::pair<const char*, const char*>> labelToKey{
        {"Sound", "soundEnabled"},
        {"Show percentage", "soundShowPercentage"},
        // The device name is hidden by soundHideLabel; soundTrailing is left alone.
        {"Hide device name", "soundHideLabel"},
    };
    for (const auto& [label, key] : labelToKey)
        EXPECT_EQ(keysWrittenBy(sound, label), std::vector<std::string>{key}) << label;
    EXPECT_TRUE(rig.store.soundHideLabel());
    EXPECT_EQ(rig.store.soundTrailing(), SoundTrailing::device);
    EXPECT_TRUE(rig.services.log.empty());
}

TEST_F(ActivityPanesQtTest, EachPaneOffersItsOwnBarLooksAndAStoredLookItLacksSelectsNoTile)
{
    rig.services.brightness = true;
    rig.store.setSoundBarStyle(BarStyle::glow);
    rig.store.setDisplayBarStyle(BarStyle::decibel);
    auto& sound = make<SoundPane>(SettingsPane::sound);
    auto& display = make<DisplayPane>(SettingsPane::display);
    struct Row {
        const char* pane;
        PreviewPicker* bar;
        std::vector<QString> offered;
    };
    for (const Row& row : {Row{"sound", sound.pickerNamed("Bar"), {"White", "Accent", "Decibel"}},
                           Row{"display", display.pickerNamed("Bar"), {"White", "Accent", "Glow"}}}) {
        SCOPED_TRACE(row.pane);
        ASSERT_NE(row.bar, nullptr);
        EXPECT_EQ(titles(*row.bar), row.offered);
        EXPECT_EQ(row.bar->selectedIndex(), std::nullopt);
    }
    for (ActivityPane* pane : std::initializer_list<ActivityPane*>{&sound, &display}) {
        PreviewPicker* speed = pane->pickerNamed("Speed");
        ASSERT_NE(speed, nullptr);
        EXPECT_EQ(titles(*speed), (std::vector<QString>{"Smooth", "Fast", "Instant"}));
        EXPECT_EQ(speed->selectedIndex(), 1) << "fast by default";
    }

    QTest::mouseClick(sound.pickerNamed("Bar")->tile(1), Qt::LeftButton);
    QTest::mouseClick(sound.pickerNamed("Speed")->tile(2), Qt::LeftButton);
    QTest::mouseClick(display.pickerNamed("Speed")->tile(0), Qt::LeftButton);
    EXPECT_EQ(rig.store.soundBarStyle(), BarStyle::accent);
    EXPECT_EQ(rig.store.soundSpeed(), HUDSpeed::instant);
    EXPECT_EQ(rig.store.displaySpeed(), HUDSpeed::smooth);
    EXPECT_EQ(rig.store.displayBarStyle(), BarStyle::decibel) << "the other pane's pickers wrote nothing";
}

TEST_F(ActivityPanesQtTest, BothDurationsRunFromHalfASecondToTen)
{
    auto& sound = make<SoundPane>(SettingsPane::sound);
    auto& display = make<DisplayPane>(SettingsPane::display);
    for (ValueSlider* slider : {sound.sliderNamed("Duration"), display.sliderNamed("Duration")}) {
        ASSERT_NE(slider, nullptr);
        EXPECT_EQ(slider->lower(), 0.5);
        EXPECT_EQ(slider->upper(), 10);
    }
    ValueSlider* duration = sound.sliderNamed("Duration");
    QTest::mouseClick(duration, Qt::LeftButton, {}, duration->thumbCentre(10).toPoint() + QPoint(30, 0));
    EXPECT_EQ(rig.store.soundDuration(), 10) << "past the end is the end";
    EXPECT_EQ(duration->shownText(), "10 s");
    QTest::mouseClick(duration, Qt::LeftButton, {}, duration->thumbCentre(0.5).toPoint() - QPoint(30, 0));
    EXPECT_EQ(rig.store.soundDuration(), 0.5);
    EXPECT_EQ(duration->shownText(), "0 s") << "shown truncated toward zero";
}

TEST_F(ActivityPanesQtTest, TogglingTheHudSwitchRestartsTheTapOnceEachWay)
{
    bridgetest::BridgeRig bridge;
    bridge.makeBridge();
    ASSERT_TRUE(bridge.startBridge());
    testsupport::processEvents();
    ASSERT_EQ(bridge.keyTap->mode(), KeyTapMode::listen);
    const int starts = bridge.keyTap->startCount();

    auto& sound = make<SoundPane>(SettingsPane::sound, SoundPaneInputs{&bridge.settings, true, {}});
    SettingsSwitch* replace = sound.switchNamed("Replace the system HUD");
    ASSERT_NE(replace, nullptr);
    QTest::mouseClick(replace, Qt::LeftButton);
    EXPECT_TRUE(bridge.settings.suppressSystemHUD());
    EXPECT_EQ(bridge.keyTap->startCount(), starts + 1);
    EXPECT_EQ(bridge.keyTap->mode(), KeyTapMode::intercept);

    QTest::mouseClick(sound.switchNamed("Show percentage"), Qt::LeftButton);
    EXPECT_EQ(bridge.keyTap->startCount(), starts + 1) << "another setting leaves the tap alone";

    QTest::mouseClick(replace, Qt::LeftButton);
    EXPECT_EQ(bridge.keyTap->startCount(), starts + 2);
    EXPECT_EQ(bridge.keyTap->mode(), KeyTapMode::listen);
    panes.clear();
}

TEST_F(ActivityPanesQtTest, ThePanesShareOneReplacementSwitch)
{
    rig.services.accessibility = true;
    auto& sound = make<SoundPane>(SettingsPane::sound);
    auto& display = make<DisplayPane>(SettingsPane::display);
    QTest::mouseClick(sound.suppressionCard()->suppressSwitch(), Qt::LeftButton);
    EXPECT_TRUE(display.suppressionCard()->suppressSwitch()->isOn());
    EXPECT_EQ(display.suppressionCard()->shownRowCount(), 2);
}

TEST_F(ActivityPanesQtTest, AllowAsksAgainAndAnAnswerThatChangedRebuildsThePane)
{
    auto& sound = make<SoundPane>(SettingsPane::sound);
    ASSERT_NE(sound.suppressionCard()->allowButton(), nullptr);
    QTest::mouseClick(sound.suppressionCard()->allowButton(), Qt::LeftButton);
    EXPECT_EQ(rig.services.log, std::vector<std::string>{"requestAccessibility"});

    sound.bind(settingsPaneInputs(SettingsPane::sound, rig.services));
    EXPECT_EQ(sound.buildCount(), 1) << "the same answer keeps the pane as it is";

    rig.services.accessibility = true;
    sound.bind(settingsPaneInputs(SettingsPane::sound, rig.services));
    EXPECT_EQ(sound.buildCount(), 2);
    ASSERT_NE(sound.suppressionCard()->suppressSwitch(), nullptr);
    EXPECT_EQ(sound.switchNamed("Replace the system HUD"), sound.suppressionCard()->suppressSwitch())
        << "only the new build is looked at";
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(sound.findChildren<SuppressionCard*>().size(), 1u) << "the old build is gone";
}

// MARK: - Display

TEST_F(ActivityPanesQtTest, UnreadableBrightnessPutsItsCardFirstAndDimsOnlyThePillsCards)
{
    struct Row {
        bool available;
        double pillOpacity;
    };
    for (const Row& row : {Row{false, 0.45}, Row{true, 1.0}}) {
        SCOPED_TRACE(row.available ? "readable" : "unreadable");
        rig.services.brightness = row.available;
        rig.services.accessibility = true;
        auto& display = make<DisplayPane>(SettingsPane::display);
        std::vector<QWidget*> expected{display.header(), display.barCard(), display.noteText(),
                                       display.suppressionCard()};
        if (!row.available) {
            ASSERT_NE(display.unavailableCard(), nullptr);
            expected.insert(expected.begin(), display.unavailableCard());
            EXPECT_EQ(display.unavailableCard()->titleText()->text(),
                      qt(LinuxTexts::displayBrightnessUnreadableTitle.shown));
            EXPECT_EQ(display.unavailableCard()->detailText()->text(),
                      qt(LinuxTexts::displayBrightnessUnreadableDetail.shown));
        } else {
            EXPECT_EQ(display.unavailableCard(), nullptr);
        }
        EXPECT_EQ(display.elements(), expected);
        EXPECT_DOUBLE_EQ(Dimming::drawnOpacity(*display.header()->enabledSwitch()), row.pillOpacity);
        EXPECT_DOUBLE_EQ(Dimming::drawnOpacity(*display.pickerNamed("Bar")), row.pillOpacity);
        EXPECT_DOUBLE_EQ(Dimming::drawnOpacity(*display.noteText()), 1);
        EXPECT_DOUBLE_EQ(Dimming::drawnOpacity(*display.suppressionCard()->suppressSwitch()), 1);

        const bool enabledBefore = rig.store.displayEnabled();
        QTest::mouseClick(display.header()->enabledSwitch(), Qt::LeftButton);
        EXPECT_EQ(rig.store.displayEnabled(), row.available ? !enabledBefore : enabledBefore);
        rig.store.setDisplayEnabled(true);
        QTest::mouseClick(display.suppressionCard()->suppressSwitch(), Qt::LeftButton);
        EXPECT_TRUE(rig.store.suppressSystemHUD()) << "the replacement works either way";
        rig.store.setSuppressSystemHUD(false);

        fit(display, 560);
        rig.scheduler.advance(std::chrono::seconds(1));
        EXPECT_TRUE(testsupport::saveScreenshot(
            display, row.available ? "DisplayPane" : "DisplayPane-brightness-unreadable", toQColor(Vude::Ink::x950)));
    }
}

TEST_F(ActivityPanesQtTest, TheDisplayNoteQuotesTheHudsTitleInCurlyQuotes)
{
    auto& display = make<DisplayPane>(SettingsPane::display);
    EXPECT_EQ(display.noteText()->text(),
              "On more than one display Vude reports the built-in panel's brightness, which is why the HUD says "
              "\u201CBuilt-in Display\u201D.");
}

// MARK: - Battery

TEST_F(ActivityPanesQtTest, TheBatteryThresholdIsInertWhileWarningsAreOff)
{
    auto& battery = make<BatteryPane>(SettingsPane::battery);
    ValueSlider* threshold = battery.sliderNamed("Low battery threshold");
    ASSERT_NE(threshold, nullptr);
    EXPECT_EQ(threshold->shownText(), "20%");
    EXPECT_FALSE(Dimming::isDimmed(*threshold));

    EXPECT_EQ(keysWrittenBy(battery, "Warn on low battery"), std::vector<std::string>{"batteryWarnLow"});
    EXPECT_TRUE(Dimming::isDimmed(*threshold));
    EXPECT_DOUBLE_EQ(Dimming::drawnOpacity(*threshold), 0.45);
    QTest::mouseClick(threshold, Qt::LeftButton, {}, threshold->thumbCentre(50).toPoint());
    EXPECT_EQ(rig.store.batteryLowThreshold(), 20) << "a dimmed slider takes no drag";
    rig.scheduler.advance(std::chrono::seconds(1)); // the switch's knob settles
    EXPECT_TRUE(testsupport::saveScreenshot(battery, "BatteryPane-warnings-off", toQColor(Vude::Ink::x950)));

    // The other rows stay usable.
    for (const auto& [label, key] : std::vector<std::pair<const char*, const char*>>{
             {"Battery", "batteryEnabled"},
             {"Low Power Mode changes", "batteryNotifyLowPowerMode"},
             {"Hide percentage", "batteryHidePercentage"}})
        EXPECT_EQ(keysWrittenBy(battery, label), std::vector<std::string>{key}) << label;

    rig.store.setBatteryWarnLow(true);
    EXPECT_FALSE(Dimming::isDimmed(*threshold));
    QTest::mouseClick(threshold, Qt::LeftButton, {}, threshold->thumbCentre(50).toPoint() + QPoint(20, 0));
    EXPECT_EQ(rig.store.batteryLowThreshold(), 50);
    EXPECT_EQ(threshold->shownText(), "50%");
    QTest::mouseClick(threshold, Qt::LeftButton, {}, threshold->thumbCentre(5).toPoint() - QPoint(20, 0));
    EXPECT_EQ(rig.store.batteryLowThreshold(), 5);
}

TEST_F(ActivityPanesQtTest, TheBatteryPaneInOrderAndAPicture)
{
    auto& battery = make<BatteryPane>(SettingsPane::battery);
    ValueSlider* duration = battery.sliderNamed("Duration");
    ASSERT_NE(duration, nullptr);
    EXPECT_EQ(duration->lower(), 1);
    EXPECT_EQ(duration->upper(), 15);
    EXPECT_EQ(duration->shownText(), "5 s");
    const auto elements = battery.elements();
    ASSERT_EQ(elements.size(), 3u);
    EXPECT_EQ(elements[0], battery.header());
    EXPECT_NE(dynamic_cast<SettingsCard*>(elements[1]), nullptr);
    EXPECT_EQ(elements[2], battery.noteText());
    EXPECT_EQ(battery.noteText()->text(),
              "Battery only appears on real transitions \u2014 plugged in, unplugged, fully charged, or crossing the "
              "threshold. Percentage changes on their own never raise a pill.");
    EXPECT_TRUE(testsupport::saveScreenshot(battery, "BatteryPane", toQColor(Vude::Ink::x950)));
}

TEST_F(ActivityPanesQtTest, TheSoundPaneInPictures)
{
    auto& without = make<SoundPane>(SettingsPane::sound);
    EXPECT_TRUE(testsupport::saveScreenshot(without, "SoundPane-no-media-key-control", toQColor(Vude::Ink::x950)));
    rig.services.accessibility = true;
    rig.store.setSuppressSystemHUD(true);
    auto& with = make<SoundPane>(SettingsPane::sound);
    fit(with, 560);
    EXPECT_EQ(with.elements().size(), 3u);
    EXPECT_TRUE(testsupport::saveScreenshot(with, "SoundPane", toQColor(Vude::Ink::x950)));
}

} // namespace
