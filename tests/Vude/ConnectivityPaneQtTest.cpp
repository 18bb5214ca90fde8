// The Connectivity pane for each Bluetooth permission state: the permission
// card first and the cards below dimmed until access is granted, the
// threshold dimmed while the warning is off, and the note always legible.
#include "Vude/Settings/ActivityHeaderCard.h"
#include "Vude/Settings/ConnectivityPane.h"
#include "Vude/Settings/NoticeCards.h"
#include "Vude/Settings/SettingsCard.h"
#include "Vude/Settings/SettingsSwitch.h"
#include "Vude/Settings/SettingsText.h"
#include "Vude/Settings/ValueSlider.h"
#include "Vude/Toolkit/AccentButton.h"
#include "Vude/Toolkit/Dimming.h"

#include "PaneFixture.h"

#include <QPointer>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class ConnectivityPaneQtTest : public settingstest::PaneFixture<ConnectivityPane> {
protected:
    /// The pane as the window builds it with Bluetooth's raw authorization `raw`.
    ConnectivityPane& make(long raw)
    {
        rig.services.bluetoothRaw = raw;
        return PaneFixture::make(SettingsPane::connectivity);
    }
};

TEST_F(ConnectivityPaneQtTest, OnlyAGrantedPermissionHidesTheCardAndWakesTheCardsBelow)
{
    struct Row {
        const char* state;
        long raw;
        bool granted;
    };
    const std::vector<Row> rows{
        {"granted", 3, true},
        {"notDetermined", 0, false},
        {"denied", 2, false},
        {"unknown", 9, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.state);
        ConnectivityPane& connectivity = make(row.raw);
        const std::vector<QWidget*> shown = blocks();
        ASSERT_EQ(shown.size(), row.granted ? 3u : 4u);
        if (!row.granted) {
            ASSERT_NE(connectivity.permissionCard(), nullptr);
            EXPECT_EQ(shown.front(), connectivity.permissionCard()) << "the permission card comes first";
            EXPECT_EQ(connectivity.permissionCard()->permission(), Permission::bluetooth);
            EXPECT_DOUBLE_EQ(Dimming::drawnOpacity(*connectivity.permissionCard()), 1.0);
        } else {
            EXPECT_EQ(connectivity.permissionCard(), nullptr);
        }
        EXPECT_EQ(shown.at(shown.size() - 3), connectivity.headerCard());
        EXPECT_EQ(shown.at(shown.size() - 2), connectivity.warningCard());
        EXPECT_EQ(shown.back(), connectivity.note());
        const double cards = row.granted ? 1.0 : Dimming::dimmedOpacity;
        EXPECT_DOUBLE_EQ(Dimming::drawnOpacity(*connectivity.headerCard()), cards);
        EXPECT_DOUBLE_EQ(Dimming::drawnOpacity(*connectivity.warningCard()), cards);
        EXPECT_EQ(connectivity.headerCard()->enabledSwitch()->isEnabled(), row.granted);
        EXPECT_EQ(connectivity.warnLowSwitch()->isEnabled(), row.granted);
        EXPECT_DOUBLE_EQ(Dimming::drawnOpacity(*connectivity.note()), 1.0) << "the note stays legible";
        EXPECT_TRUE(picture(QStringLiteral("ConnectivityPane-") + row.state));
    }
    EXPECT_TRUE(rig.services.log.empty()) << "nothing is requested by showing the pane";
}

TEST_F(ConnectivityPaneQtTest, AllowAsksForBluetoothEachTimeItIsClicked)
{
    ConnectivityPane& connectivity = make(0);
    QTest::mouseClick(connectivity.permissionCard()->allowButton(), Qt::LeftButton);
    EXPECT_EQ(rig.services.log, std::vector<std::string>({"requestBluetoothPermission"}));
    QTest::mouseClick(connectivity.permissionCard()->allowButton(), Qt::LeftButton);
    EXPECT_EQ(rig.services.log.size(), 2u);

    EXPECT_NE(connectivity.permissionCard(), nullptr) << "the card stays until the window hands over a grant";
}

TEST_F(ConnectivityPaneQtTest, AGrantHandedOverRebuildsThePaneWithoutTheCard)
{
    ConnectivityPane& connectivity = make(0);
    QPointer<PermissionNeededCard> card = connectivity.permissionCard();
    connectivity.bind(settingsPaneInputs(SettingsPane::connectivity, rig.services));
    EXPECT_EQ(connectivity.buildCount(), 1) << "the same state builds nothing again";

    rig.services.bluetoothRaw = 3;
    connectivity.bind(settingsPaneInputs(SettingsPane::connectivity, rig.services));
    EXPECT_EQ(connectivity.buildCount(), 2);
    EXPECT_EQ(connectivity.permissionCard(), nullptr);
    EXPECT_EQ(blocks().size(), 3u);
    EXPECT_DOUBLE_EQ(Dimming::drawnOpacity(*connectivity.warningCard()), 1.0);
    ASSERT_TRUE(card) << "the old card goes from the event loop: the change may come from its own click";
    EXPECT_FALSE(card->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(card);
}

TEST_F(ConnectivityPaneQtTest, TheControlsWriteTheirKeysAndTheThresholdFollowsTheWarning)
{
    ConnectivityPane& connectivity = make(3);
    ActivityHeaderCard& header = *connectivity.headerCard();
    EXPECT_EQ(header.durationSlider()->lower(), 1);
    EXPECT_EQ(header.durationSlider()->upper(), 15);
    QTest::mouseClick(header.enabledSwitch(), Qt::LeftButton);
    EXPECT_FALSE(rig.store.connectivityEnabled());
    EXPECT_TRUE(Dimming::isDimmed(*header.durationSlider()));
    EXPECT_FALSE(Dimming::isDimmed(*connectivity.thresholdSlider())) << "the warning is its own switch";

    ValueSlider& threshold = *connectivity.thresholdSlider();
    EXPECT_EQ(threshold.lower(), 5);
    EXPECT_EQ(threshold.upper(), 50);
    EXPECT_EQ(threshold.shownText(), "20%");
    emit threshold.moved(35);
    EXPECT_EQ(rig.store.connectivityLowThreshold(), 35);
    EXPECT_EQ(threshold.shownText(), "35%");

    QTest::mouseClick(connectivity.warnLowSwitch(), Qt::LeftButton);
    EXPECT_FALSE(rig.store.connectivityWarnLow());
    EXPECT_TRUE(Dimming::isDimmed(threshold));
    EXPECT_DOUBLE_EQ(Dimming::drawnOpacity(threshold), Dimming::dimmedOpacity);
    QTest::mouseClick(&threshold, Qt::LeftButton, {}, QPoint(threshold.width() - 14, threshold.height() - 10));
    EXPECT_EQ(rig.store.connectivityLowThreshold(), 35) << "a dimmed slider ignores the pointer";
    rig.store.setConnectivityWarnLow(true);
    EXPECT_FALSE(Dimming::isDimmed(threshold));
}

} // namespace
