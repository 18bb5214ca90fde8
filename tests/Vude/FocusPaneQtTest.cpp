// The Focus pane: its header and two switches, and the card on the generic
// pill that shows whenever the mode's name cannot be known (always, as the
// window builds it here). Nothing in the pane is dimmed.
#include "Vude/Settings/ActivityHeaderCard.h"
#include "Vude/Settings/FocusPane.h"
#include "Vude/Settings/NoticeCards.h"
#include "Vude/Settings/SettingsCard.h"
#include "Vude/Settings/SettingsRow.h"
#include "Vude/Settings/SettingsSwitch.h"
#include "Vude/Settings/SettingsText.h"
#include "Vude/Settings/ValueSlider.h"
#include "Vude/Toolkit/Dimming.h"

#include "PaneFixture.h"

#include <QLayout>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class FocusPaneQtTest : public settingstest::PaneFixture<FocusPane> {
protected:
    FocusPane& make(const SettingsPaneInputs& inputs) { return PaneFixture::make(SettingsPane::focus, inputs); }
    FocusPane& make() { return PaneFixture::make(SettingsPane::focus); }
};

TEST_F(FocusPaneQtTest, TheWindowsPaneExplainsTheGenericPillAndDimsNothing)
{
    FocusPane& focus = make();
    EXPECT_EQ(blocks().size(), 3u);
    ASSERT_NE(focus.identityCard(), nullptr);
    EXPECT_EQ(focus.identityCard()->titleText()->text(),
              "Vude can see do-not-disturb turn on and off, but no mode name");
    EXPECT_EQ(focus.identityCard()->detailText()->text(),
              "Your desktop's do-not-disturb switch has no named modes, so Vude shows a generic Focus pill \u2014 a "
              "script can give it a name through Vude's Focus filter on the session bus.");
    EXPECT_EQ(blocks().back(), focus.identityCard()) << "below the two cards";
    for (QWidget* block : {static_cast<QWidget*>(focus.headerCard()), static_cast<QWidget*>(focus.optionsCard()),
                           static_cast<QWidget*>(focus.identityCard())})
        EXPECT_DOUBLE_EQ(Dimming::drawnOpacity(*block), 1.0);
    EXPECT_TRUE(picture("FocusPane"));
}

TEST_F(FocusPaneQtTest, WithTheModesNameKnownOnlyTheTwoCardsShow)
{
    FocusPane& focus = make(FocusPaneInputs{&rig.store, true});
    EXPECT_EQ(focus.identityCard(), nullptr);
    EXPECT_EQ(blocks().size(), 2u);
}

TEST_F(FocusPaneQtTest, EachSwitchWritesItsKeyAndTheDurationFollowsTheActivity)
{
    FocusPane& focus = make();
    struct Row {
        SettingsSwitch* control;
        bool (SettingsStore::*get)() const;
        const char* key;
    };
    const std::vector<Row> rows{
        {focus.replaceWaveformSwitch(), &SettingsStore::focusReplaceWaveform, "focusReplaceWaveform"},
        {focus.hideLabelSwitch(), &SettingsStore::focusHideLabel, "focusHideLabel"},
        {focus.headerCard()->enabledSwitch(), &SettingsStore::focusEnabled, "focusEnabled"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.key);
        const bool before = (rig.store.*row.get)();
        QTest::mouseClick(row.control, Qt::LeftButton);
        EXPECT_EQ(rig.defaults->boolForKey(row.key), !before);
        EXPECT_EQ(row.control->isOn(), !before);
    }
    QStringList labels;
    for (auto* row : focus.optionsCard()->findChildren<SettingsRow*>())
        labels << row->label();
    EXPECT_EQ(labels, QStringList({"Replace the waveform while Focus is on", "Hide label"}));

    ValueSlider& duration = *focus.headerCard()->durationSlider();
    EXPECT_EQ(duration.lower(), 1);
    EXPECT_EQ(duration.upper(), 15);
    EXPECT_TRUE(Dimming::isDimmed(duration)) << "Focus was just switched off";
    rig.store.setFocusEnabled(true);
    emit duration.moved(12);
    EXPECT_EQ(rig.store.focusDuration(), 12);
    EXPECT_EQ(duration.shownText(), "12 s");
}

} // namespace
