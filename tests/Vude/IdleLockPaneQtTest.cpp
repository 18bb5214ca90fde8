// The Idle & Lock pane: the keep-awake row following the idle service (its
// label, switch and "until" footnote, also when a timed keep-awake ends by
// itself), the duration chips, a desktop with no way to keep awake, and
// the two screen-lock switches.
#include "Vude/Settings/IdleLockPane.h"
#include "Platform/Power/FakeDisplaySleepInhibitor.h"
#include "Platform/Power/FakeScreenLockMonitor.h"
#include "Vude/Bridge/ActivityPayloads.h"
#include "Vude/Settings/SettingsRow.h"
#include "Vude/Settings/SettingsSwitch.h"
#include "Vude/Settings/SettingsText.h"
#include "Vude/Toolkit/Dimming.h"
#include "VudeServices/IdleService.h"

#include "SettingsRig.h"
#include "WidgetPicture.h"

#include <QTest>

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using settingstest::SettingsRig;

// 2001-01-01 at the given time of day; tests run with TZ=UTC.
Date at(std::chrono::hours hours, std::chrono::minutes minutes)
{
    return kReferenceDate + hours + minutes;
}

TEST(IdleLockPaneRules, TheStatusFootnoteSaysWhatTheDisplayWillDo)
{
    const struct {
        bool keepingAwake;
        std::optional<Date> until;
        const char* footnote;
    } rows[] = {
        {false, std::nullopt, "Your display sleeps on its normal schedule."},
        {false, at(14h, 35min), "Your display sleeps on its normal schedule."},
        {true, std::nullopt, "The display won't sleep until you switch this off."},
        {true, at(14h, 35min), "The display won't sleep until 14:35."},
        {true, at(9h, 5min), "The display won't sleep until 09:05."},
        {true, at(23h, 59min) + 59s, "The display won't sleep until 23:59."},
        {true, at(24h, 0min), "The display won't sleep until 00:00."},
    };
    for (const auto& row : rows)
        EXPECT_EQ(IdleLockPane::statusFootnote(row.keepingAwake, row.until), row.footnote) << row.footnote;
}

TEST(IdleLockPaneRules, TheKeepAwakeRowIsDimmedOnlyWhenNothingCouldKeepTheDisplayAwake)
{
    const QString on = "Your computer is staying awake";
    const QString off = "Let your computer sleep";
    const QString unavailable = IdleLockPane::unavailableFootnote();
    const struct {
        const char* why;
        bool hasService;
        bool keepingAwake;
        std::optional<Date> until;
        bool available;
        IdleLockPane::KeepAwakeRow row;
    } rows[] = {
        {"off, an inhibitor answers", true, false, std::nullopt, true,
         {off, "Your display sleeps on its normal schedule.", true}},
        {"on until a time", true, true, at(14h, 35min), true, {on, "The display won't sleep until 14:35.", true}},
        {"off, no inhibitor: says why", true, false, std::nullopt, false, {off, unavailable, false}},
        {"on though the inhibitor went away: it can still be switched off", true, true, std::nullopt, false,
         {on, "The display won't sleep until you switch this off.", true}},
        {"no idle service", false, false, std::nullopt, true, {off, unavailable, false}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        const auto shown = IdleLockPane::keepAwakeRow(row.hasService, row.keepingAwake, row.until, row.available);
        EXPECT_EQ(shown.label, row.row.label);
        EXPECT_EQ(shown.footnote, row.row.footnote);
        EXPECT_EQ(shown.usable, row.row.usable);
    }
}

class IdleLockPaneQtTest : public ::testing::Test {
protected:
    IdleLockPaneQtTest()
    {
        rig.clock.set(at(14h, 5min));
        auto inhibitor = std::make_unique<FakeDisplaySleepInhibitor>();
        m_inhibitor = inhibitor.get();
        idle = std::make_unique<IdleService>(std::move(inhibitor), std::make_unique<FakeScreenLockMonitor>(),
                                             rig.scheduler, rig.clock);
        rig.services.idleService = idle.get();
    }

    /// The pane over the rig's services; its toggle does what the bridge's
    /// does to the idle service.
    IdleLockPane& make()
    {
        auto inputs = std::get<IdleLockPaneInputs>(settingsPaneInputs(SettingsPane::idleLock, rig.services));
        inputs.onToggleKeepAwake = [this] {
            ++toggles;
            if (IdleService* service = rig.services.idleService)
                service->toggleKeepAwake(ActivityPayloads::keepAwakeDuration(rig.store.keepAwakeDuration()));
        };
        pane.reset(makeSettingsPaneView(SettingsPane::idleLock, rig.environment, nullptr));
        pane->bind(inputs);
        pane->resize(560, pane->heightForWidth(560) > 0 ? pane->heightForWidth(560) : pane->sizeHint().height());
        auto* idleLock = dynamic_cast<IdleLockPane*>(pane.get());
        EXPECT_NE(idleLock, nullptr);
        return *idleLock;
    }

    QString label(IdleLockPane& view) const { return view.keepAwakeRow()->label(); }
    QString footnote(IdleLockPane& view) const { return view.keepAwakeRow()->footnote().value_or(QString()); }

    std::vector<KeepAwakeDurationSetting> selectedChips(IdleLockPane& view) const
    {
        std::vector<KeepAwakeDurationSetting> selected;
        for (KeepAwakeChip* chip : view.chips())
            if (chip->isSelected())
                selected.push_back(chip->duration());
        return selected;
    }

    SettingsRig rig;
    FakeDisplaySleepInhibitor* m_inhibitor = nullptr;
    std::unique_ptr<IdleService> idle;
    std::unique_ptr<SettingsPaneView> pane;
    int toggles = 0;
};

TEST_F(IdleLockPaneQtTest, ATimedKeepAwakeShowsItsEndAndTurnsTheRowBackWhenItExpires)
{
    rig.store.setKeepAwakeDuration(KeepAwakeDurationSetting::thirtyMinutes);
    IdleLockPane& view = make();
    view.show();
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(label(view), "Let your computer sleep");
    EXPECT_EQ(footnote(view), "Your display sleeps on its normal schedule.");
    EXPECT_FALSE(view.keepAwakeSwitch()->isOn());
    EXPECT_FALSE(Dimming::isDimmed(*view.keepAwakeSwitch()));

    QTest::mouseClick(view.keepAwakeSwitch(), Qt::LeftButton);
    EXPECT_EQ(toggles, 1);
    ASSERT_TRUE(idle->isKeepingAwake());
    EXPECT_EQ(m_inhibitor->held().size(), 1u);
    EXPECT_EQ(label(view), "Your computer is staying awake");
    EXPECT_EQ(footnote(view), "The display won't sleep until 14:35.");
    EXPECT_TRUE(view.keepAwakeSwitch()->isOn());
    // Let the knob settle and the longer label lay out before the picture.
    rig.scheduler.advance(1s);
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(testsupport::saveScreenshot(view, "IdleLockPane"));

    // Nobody touches the pane: the service's own timer ends it.
    rig.scheduler.advance(30min);
    EXPECT_FALSE(idle->isKeepingAwake());
    EXPECT_TRUE(m_inhibitor->held().empty());
    EXPECT_EQ(label(view), "Let your computer sleep");
    EXPECT_EQ(footnote(view), "Your display sleeps on its normal schedule.");
    EXPECT_FALSE(view.keepAwakeSwitch()->isOn());
    EXPECT_EQ(toggles, 1);
}

TEST_F(IdleLockPaneQtTest, TheSwitchFollowsTheServiceNotTheClick)
{
    IdleLockPane& view = make();
    view.show();
    QTest::mouseClick(view.keepAwakeSwitch(), Qt::LeftButton);
    EXPECT_EQ(footnote(view), "The display won't sleep until you switch this off.") << "indefinite by default";
    EXPECT_TRUE(view.keepAwakeSwitch()->isOn());

    // Turned off elsewhere (the notch's menu): the pane follows.
    idle->stopKeepAwake();
    EXPECT_FALSE(view.keepAwakeSwitch()->isOn());
    EXPECT_EQ(label(view), "Let your computer sleep");

    // A start the desktop refuses leaves the switch off, and says why.
    m_inhibitor->setRefusing(true);
    QTest::mouseClick(view.keepAwakeSwitch(), Qt::LeftButton);
    EXPECT_EQ(toggles, 2);
    EXPECT_FALSE(view.keepAwakeSwitch()->isOn());
    EXPECT_EQ(footnote(view), IdleLockPane::unavailableFootnote());
    EXPECT_TRUE(Dimming::isDimmed(*view.keepAwakeSwitch()));
}

TEST_F(IdleLockPaneQtTest, WithoutAnInhibitorTheSwitchIsDimmedAndTheRowSaysWhy)
{
    m_inhibitor->setRefusing(true);
    ASSERT_FALSE(std::get<IdleLockPaneInputs>(settingsPaneInputs(SettingsPane::idleLock, rig.services))
                     .keepAwakeAvailable);
    IdleLockPane& view = make();
    view.show();
    EXPECT_TRUE(Dimming::isDimmed(*view.keepAwakeSwitch()));
    EXPECT_FALSE(view.keepAwakeSwitch()->isEnabled());
    EXPECT_EQ(label(view), "Let your computer sleep");
    EXPECT_EQ(footnote(view), IdleLockPane::unavailableFootnote());
    QTest::mouseClick(view.keepAwakeSwitch(), Qt::LeftButton);
    EXPECT_EQ(toggles, 0) << "a disabled switch asks for nothing";
    EXPECT_FALSE(Dimming::isDimmed(*view.chips().front())) << "a duration can still be chosen";
    EXPECT_TRUE(testsupport::saveScreenshot(view, "IdleLockPaneUnavailable"));

    // The app without an idle service at all says the same.
    rig.services.idleService = nullptr;
    IdleLockPane& none = make();
    EXPECT_TRUE(Dimming::isDimmed(*none.keepAwakeSwitch()));
    EXPECT_EQ(footnote(none), IdleLockPane::unavailableFootnote());
}

TEST_F(IdleLockPaneQtTest, AChipOnlyStoresItsDurationAndExactlyOneIsSelected)
{
    IdleLockPane& view = make();
    view.show();
    std::vector<QString> texts;
    for (KeepAwakeChip* chip : view.chips())
        texts.push_back(chip->text());
    EXPECT_EQ(texts, (std::vector<QString>{"Until I turn it off", "30 minutes", "1 hour", "2 hours"}));
    EXPECT_EQ(selectedChips(view), std::vector{KeepAwakeDurationSetting::indefinite});

    rig.store.setKeepAwakeDuration(KeepAwakeDurationSetting::thirtyMinutes);
    QTest::mouseClick(view.keepAwakeSwitch(), Qt::LeftButton);
    ASSERT_EQ(idle->keepAwakeUntil(), at(14h, 35min));

    for (KeepAwakeChip* chip : {view.chips()[3], view.chips()[1], view.chips()[1], view.chips()[0]}) {
        SCOPED_TRACE(chip->text().toStdString());
        QTest::mouseClick(chip, Qt::LeftButton);
        EXPECT_EQ(rig.store.keepAwakeDuration(), chip->duration());
        EXPECT_EQ(selectedChips(view), std::vector{chip->duration()});
        EXPECT_EQ(idle->keepAwakeUntil(), at(14h, 35min)) << "the running keep-awake is left alone";
        EXPECT_EQ(footnote(view), "The display won't sleep until 14:35.");
    }
    EXPECT_EQ(toggles, 1);
    EXPECT_EQ(m_inhibitor->calls().size(), 1u);
}

TEST_F(IdleLockPaneQtTest, TheLockSwitchesWriteTheirOwnKeys)
{
    const std::pair<const char*, const char*> labelToKey[] = {
        {"Greet me when I unlock", "showLockActivity"},
        {"Play a sound on lock and unlock", "lockSoundsEnabled"},
    };
    IdleLockPane& view = make();
    view.show();
    for (const auto& [label, key] : labelToKey) {
        SCOPED_TRACE(label);
        SettingsSwitch* control = view.switchNamed(QString::fromUtf8(label));
        ASSERT_NE(control, nullptr);
        const bool before = control->isOn();
        QTest::mouseClick(control, Qt::LeftButton);
        EXPECT_EQ(rig.defaults->boolForKey(key), !before);
        EXPECT_EQ(control->isOn(), !before);
    }
    EXPECT_EQ(toggles, 0);
    EXPECT_FALSE(idle->isKeepingAwake());

    QStringList titles;
    for (auto* text : view.findChildren<SettingsText*>(Qt::FindDirectChildrenOnly))
        titles << text->text();
    ASSERT_EQ(titles.size(), 4);
    EXPECT_EQ(titles[0], "Keep awake");
    EXPECT_TRUE(titles[1].contains("keep-awake inhibitor"));
    EXPECT_EQ(titles[2], "Screen lock");
    EXPECT_TRUE(titles[3].contains("lock screen draws itself"));
}

} // namespace
