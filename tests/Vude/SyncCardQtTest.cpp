// The sync card: which lines show for which coordinator state, how the card
// follows the coordinator and the switch live, "Check now", and the cut of a
// long store error.
#include "Vude/Settings/SettingsSwitch.h"
#include "Vude/Settings/SettingsText.h"
#include "Vude/Settings/SyncCard.h"
#include "Vude/Toolkit/PlainButton.h"
#include "Platform/Cloud/InMemoryCloudDatabase.h"

#include "SettingsRig.h"
#include "WidgetPicture.h"

#include <QTemporaryDir>
#include <QTest>
#include <QTextLayout>

#include <gtest/gtest.h>

namespace {

using settingstest::SettingsRig;
using Push = SyncCoordinator::PushRegistration;

constexpr const char* kContainer = "iCloud.app.ruvudav.notch";

TEST(SyncCardLines, EachStateShowsItsLinesAndDot)
{
    const Date now = kReferenceDate + std::chrono::hours(1000);
    const std::string localOnly = "Changes are being saved on this computer only.";
    const std::string pending = "Waiting for push registration \u2014 until it completes, changes from another "
                                "computer arrive only when Vude restarts.";
    const std::string failed =
        "Push is unavailable, so changes from another computer only arrive when Vude restarts.";
    struct Case {
        const char* name;
        SyncCard::State state;
        Vude::Color dot;
        std::string status;
        std::optional<std::string> localOnly;
        std::optional<std::string> pending;
        std::optional<std::string> failure;
        std::optional<std::string> error;
    };
    const auto state = [](SyncStatus status, bool local, bool on, Push push,
                          std::optional<std::string> error = std::nullopt) {
        return SyncCard::State{status, local, on, push, error};
    };
    const std::vector<Case> cases{
        {"synced, push registered: the status alone", state(SyncStatus::idle(), false, true, Push::registered()),
         Vude::Semantic::sage, "Synced", {}, {}, {}, {}},
        {"synced a while ago", state(SyncStatus::idle(now - std::chrono::minutes(5)), false, true, Push::registered()),
         Vude::Semantic::sage, "Synced 5 min. ago", {}, {}, {}, {}},
        {"syncing, push pending", state(SyncStatus::syncing(), false, true, Push::pending()), Vude::Semantic::sage,
         "Syncing\u2026", {}, pending, {}, {}},
        {"push failed", state(SyncStatus::idle(), false, true, Push::failed("inotify: no watches left")),
         Vude::Semantic::sage, "Synced", {}, {}, "inotify: no watches left", {}},
        {"local only: no push line whatever push holds",
         state(SyncStatus::unavailable(SyncUnavailability::containerUnavailable), true, true, Push::failed("x")),
         Vude::Semantic::amber, "Couldn't reach the sync folder", localOnly, {}, {}, {}},
        {"turned off at launch", state(SyncStatus::unavailable(SyncUnavailability::disabled), true, false,
                                       Push::pending()),
         Vude::Semantic::amber, "Turned off in Vude's settings", {}, {}, {}, {}},
        {"the switch off, not local: no push line", state(SyncStatus::idle(), false, false, Push::pending()),
         Vude::Semantic::sage, "Synced", {}, {}, {}, {}},
        {"signed out", state(SyncStatus::unavailable(SyncUnavailability::signedOut), false, true, Push::registered()),
         Vude::Semantic::amber, "No sync folder", {}, {}, {}, {}},
        {"a store error shows whatever else holds",
         state(SyncStatus::unavailable(SyncUnavailability::disabled), true, false, Push::pending(), "disk I/O error"),
         Vude::Semantic::amber, "Turned off in Vude's settings", {}, {}, {}, "disk I/O error"},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.name);
        const SyncCard::Lines lines = SyncCard::lines(each.state, now);
        EXPECT_EQ(lines.dot, each.dot);
        EXPECT_EQ(lines.status, each.status);
        EXPECT_EQ(lines.localOnly, each.localOnly);
        EXPECT_EQ(lines.pushPending, each.pending);
        EXPECT_EQ(lines.pushFailed.has_value(), each.failure.has_value());
        if (lines.pushFailed && each.failure) {
            EXPECT_EQ(lines.pushFailed->first, failed);
            EXPECT_EQ(lines.pushFailed->second, *each.failure);
        }
        EXPECT_EQ(lines.containerError, each.error);
    }
}

class SyncCardQtTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(root.isValid()); }
    void TearDown() override
    {
        card.reset();
        coordinator.reset();
    }

    SyncCoordinator& start(bool syncEnabled)
    {
        SyncCoordinator::Services services;
        services.applicationSupportRoot = root.path().toStdString();
        services.cloud = cloud;
        services.scheduler = &rig.scheduler;
        services.clock = &rig.clock;
        services.defaults = rig.defaults;
        coordinator = std::make_unique<SyncCoordinator>(kContainer, services);
        bool finished = false;
        coordinator->start(syncEnabled, [&] { finished = true; });
        for (int i = 0; i < 10 && !finished; ++i)
            rig.scheduler.advance(std::chrono::seconds(1));
        EXPECT_TRUE(finished);
        return *coordinator;
    }

    SyncCard& make(SyncCoordinator* sync)
    {
        card = std::make_unique<SyncCard>(rig.store, sync, rig.environment);
        card->show();
        fit();
        return *card;
    }

    /// The height the card's lines take now, as the pane's layout gives it.
    void fit()
    {
        card->resize(480, card->hasHeightForWidth() ? card->heightForWidth(480) : card->sizeHint().height());
    }

    SettingsRig rig;
    QTemporaryDir root;
    std::shared_ptr<InMemoryCloudDatabase> cloud = std::make_shared<InMemoryCloudDatabase>(kContainer, "A", rig.clock);
    std::unique_ptr<SyncCoordinator> coordinator;
    std::unique_ptr<SyncCard> card;
};

TEST_F(SyncCardQtTest, TurningSyncOnWritesTheSettingAndOnlyTheSwitchLinesFollowAtOnce)
{
    rig.store.setSyncEnabled(false);
    SyncCard& shown = make(&start(false));
    EXPECT_EQ(shown.dotColor(), Vude::Semantic::amber);
    EXPECT_EQ(shown.statusText()->text(), "Turned off in Vude's settings");
    EXPECT_FALSE(shown.localOnlyText()->isVisibleTo(&shown)) << "sync is off";
    EXPECT_FALSE(shown.syncSwitch()->isOn());
    fit();
    EXPECT_TRUE(testsupport::saveScreenshot(shown, "SyncCard-off"));

    QTest::mouseClick(shown.syncSwitch(), Qt::LeftButton);
    EXPECT_TRUE(rig.store.syncEnabled());
    EXPECT_TRUE(shown.syncSwitch()->isOn());
    EXPECT_EQ(shown.statusText()->text(), "Turned off in Vude's settings") << "sync follows at the next launch";
    EXPECT_TRUE(shown.localOnlyText()->isVisibleTo(&shown)) << "the local-only line follows the switch at once";
    EXPECT_FALSE(shown.pushPendingText()->isVisibleTo(&shown));
    EXPECT_EQ(cloud->accountQueryCount(), 0) << "the switch asks the coordinator nothing";
}

TEST_F(SyncCardQtTest, TheCardFollowsTheCoordinatorAndEachCheckIsOneMoreRefresh)
{
    SyncCoordinator& sync = start(true);
    SyncCard& shown = make(&sync);
    EXPECT_EQ(shown.statusText()->text(), "Synced");
    EXPECT_EQ(shown.dotColor(), Vude::Semantic::sage);
    EXPECT_FALSE(shown.pushPendingText()->isVisibleTo(&shown)) << "the folder watch runs: push registered";

    sync.notePushRegistration(Push::failed("inotify: no watches left"));
    EXPECT_TRUE(shown.pushFailedText()->isVisibleTo(&shown));
    EXPECT_EQ(shown.pushFailureText()->text(), "inotify: no watches left");
    EXPECT_TRUE(shown.pushFailureText()->textInteractionFlags() & Qt::TextSelectableByMouse);
    fit();
    EXPECT_TRUE(testsupport::saveScreenshot(shown, "SyncCard-pushFailed"));
    sync.notePushRegistration(Push::pending());
    EXPECT_FALSE(shown.pushFailedText()->isVisibleTo(&shown));
    EXPECT_TRUE(shown.pushPendingText()->isVisibleTo(&shown));

    const int before = cloud->accountQueryCount();
    cloud->setHoldsAccountQueries(true);
    QTest::mouseClick(shown.checkNowButton(), Qt::LeftButton);
    QTest::mouseClick(shown.checkNowButton(), Qt::LeftButton);
    EXPECT_EQ(cloud->accountQueryCount(), before + 2) << "two presses, two refreshes";
    EXPECT_EQ(cloud->heldQueryCount(), 2u);
    EXPECT_TRUE(shown.checkNowButton()->isEnabled()) << "never disabled while a check runs";

    ASSERT_TRUE(cloud->answerHeldQuery(CloudAccountStatus::noAccount));
    EXPECT_EQ(shown.statusText()->text(), "No sync folder");
    EXPECT_EQ(shown.dotColor(), Vude::Semantic::amber);
    ASSERT_TRUE(cloud->answerHeldQuery(CloudAccountStatus::available));
    EXPECT_EQ(shown.statusText()->text(), "Synced") << "the last to finish decides";
    EXPECT_EQ(shown.dotColor(), Vude::Semantic::sage);
}

TEST_F(SyncCardQtTest, WithoutACoordinatorTheFolderReadsAsUnreachableAndCheckDoesNothing)
{
    SyncCard& shown = make(nullptr);
    EXPECT_EQ(shown.statusText()->text(), "Couldn't reach the sync folder");
    EXPECT_EQ(shown.dotColor(), Vude::Semantic::amber);
    QTest::mouseClick(shown.checkNowButton(), Qt::LeftButton);
    EXPECT_EQ(shown.statusText()->text(), "Couldn't reach the sync folder");
}

TEST_F(SyncCardQtTest, ALongStoreErrorIsCutAfterFourLinesAndStaysSelectable)
{
    ClampedText text(Vude::Type_::settingsFootnote, Vude::Stone::x400, SyncCard::maximumErrorLines);
    QString error;
    for (int paragraph = 1; paragraph <= 4; ++paragraph)
        error += QStringLiteral("Paragraph %1: the store could not be opened because the database file is "
                                "malformed and the journal could not be replayed.\n")
                     .arg(paragraph);
    text.resize(300, 10);
    text.setFullText(error.trimmed());
    const QString shown = text.clampedText(300);
    EXPECT_EQ(text.fullText(), error.trimmed());
    EXPECT_TRUE(error.startsWith(shown.section('\n', 0, 0)));

    // Lay the shown text out as the label does: four lines at most.
    int lines = 0;
    for (const QString& paragraph : shown.split('\n')) {
        QTextLayout layout(paragraph, text.font());
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(300);
            ++lines;
        }
        layout.endLayout();
    }
    EXPECT_EQ(lines, 4);
    EXPECT_LE(text.heightForWidth(300), QFontMetrics(text.font()).lineSpacing() * 4 + 1);
    EXPECT_TRUE(text.textInteractionFlags() & Qt::TextSelectableByMouse);

    text.setFullText("disk I/O error");
    EXPECT_EQ(text.text(), "disk I/O error") << "a short error is shown whole";
}

} // namespace
