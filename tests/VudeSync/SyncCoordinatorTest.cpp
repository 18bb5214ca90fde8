#include "Platform/Cloud/FolderCloudDatabase.h"
#include "Platform/Cloud/InMemoryCloudDatabase.h"
#include "Platform/Core/NotificationCenter.h"
#include "VudeSync/ModelContext.h"
#include "VudeSync/SyncCoordinator.h"

#include "TestSupport.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QVariant>
#include <gtest/gtest.h>

#include <fstream>

namespace fs = std::filesystem;

namespace {

constexpr const char* kContainer = "iCloud.app.ruvudav.notch";
constexpr Duration kSecond = std::chrono::seconds(1);
using Answers = std::vector<CloudDatabase::AccountStatusResult>;

CloudDatabase::AccountStatusResult failure(const std::string& text)
{
    return unexpected(CloudError{CloudError::networkUnavailable, text});
}

void postEvent(const CloudMirrorEvent& event)
{
    NotificationCenter::defaultCenter().post(CloudMirror::eventChangedNotification,
                                             {{CloudMirror::eventKey, QVariant::fromValue(event)}});
}

void writeFile(const fs::path& path, const std::string& bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

} // namespace

class SyncCoordinatorTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_root.isValid()); }
    void TearDown() override { coordinator.reset(); }

    fs::path root() const { return m_root.path().toStdString(); }
    fs::path storeFolder() const { return root() / "Vude"; }

    SyncCoordinator& make(std::shared_ptr<CloudDatabase> database)
    {
        SyncCoordinator::Services services;
        services.applicationSupportRoot = root();
        services.cloud = std::move(database);
        services.scheduler = &scheduler;
        services.clock = &clock;
        services.defaults = defaults;
        coordinator = std::make_unique<SyncCoordinator>(kContainer, services);
        return *coordinator;
    }
    SyncCoordinator& make() { return make(cloud); }

    /// Starts and runs the scheduler until start() has finished.
    bool start(SyncCoordinator& sync, bool syncEnabled)
    {
        bool finished = false;
        sync.start(syncEnabled, [&] { finished = true; });
        for (int i = 0; i < 10 && !finished; ++i)
            scheduler.advance(kSecond);
        return finished;
    }

    std::string summary() const { return coordinator->status().summary(clock); }

    QTemporaryDir m_root;
    ManualClock clock{kReferenceDate + std::chrono::hours(24 * 365 * 20)};
    ManualScheduler scheduler{clock};
    std::shared_ptr<InMemoryUserDefaults> defaults = std::make_shared<InMemoryUserDefaults>();
    std::shared_ptr<InMemoryCloudDatabase> cloud = std::make_shared<InMemoryCloudDatabase>(kContainer, "A", clock);
    std::unique_ptr<SyncCoordinator> coordinator;
};

TEST_F(SyncCoordinatorTest, StartsIdleWithNothingOpenAndPushPending)
{
    auto& sync = make();
    EXPECT_EQ(sync.status(), SyncStatus::idle());
    EXPECT_EQ(sync.container(), nullptr);
    EXPECT_FALSE(sync.isLocalOnly());
    EXPECT_EQ(sync.push(), SyncCoordinator::PushRegistration::pending());
    EXPECT_EQ(sync.containerError(), std::nullopt);
    EXPECT_EQ(sync.accountError(), std::nullopt);
    EXPECT_EQ(sync.containerID(), kContainer);
    EXPECT_FALSE(fs::exists(storeFolder())) << "nothing is opened or made before start";
}

TEST_F(SyncCoordinatorTest, TheStoreLivesInTheAppFolderAndOpensThereMirrored)
{
    EXPECT_EQ(SyncCoordinator::storeURL(root()), root() / "Vude" / "Vude.store");
    EXPECT_TRUE(fs::is_directory(storeFolder())) << "asking for the location makes the folder";

    auto& sync = make();
    ASSERT_TRUE(start(sync, true));
    ASSERT_NE(sync.container(), nullptr);
    EXPECT_EQ(sync.container()->configuration().url, root() / "Vude" / "Vude.store");
    EXPECT_TRUE(sync.container()->isMirrored());
    EXPECT_NE(sync.mirror(), nullptr);
    EXPECT_FALSE(sync.isLocalOnly());
    EXPECT_EQ(summary(), "Synced") << "an available account with no last sync time";
    EXPECT_EQ(sync.push(), SyncCoordinator::PushRegistration::registered()) << "the mirror's folder watch runs";
}

TEST_F(SyncCoordinatorTest, WithSyncOffTheStoreIsLocalNothingIsAskedAndCheckNowKeepsTheMessage)
{
    auto& sync = make();
    ASSERT_TRUE(start(sync, false));
    ASSERT_NE(sync.container(), nullptr);
    EXPECT_FALSE(sync.container()->isMirrored());
    EXPECT_TRUE(sync.isLocalOnly());
    EXPECT_EQ(summary(), "Turned off in Vude's settings");
    EXPECT_EQ(cloud->accountQueryCount(), 0);

    postEvent({CloudMirrorEvent::Type::importChanges, false, std::nullopt, std::nullopt});
    EXPECT_EQ(summary(), "Turned off in Vude's settings") << "no event observer";
    cloud->announceAccountChange();
    EXPECT_EQ(cloud->accountQueryCount(), 0) << "no account observer";

    bool finished = false;
    sync.refreshAccountStatus([&] { finished = true; });
    EXPECT_TRUE(finished);
    EXPECT_EQ(summary(), "Turned off in Vude's settings") << "Check now does not claim the sync folder is unreachable";
    EXPECT_EQ(cloud->accountQueryCount(), 0);
}

TEST_F(SyncCoordinatorTest, AnAvailableAccountShowsTheStoredLastSyncTime)
{
    defaults->set(SyncCoordinator::kLastSyncDateKey, clock.now() - std::chrono::minutes(5));
    auto& sync = make();
    ASSERT_TRUE(start(sync, true));
    EXPECT_EQ(summary(), "Synced 5 min. ago");

    defaults->set(SyncCoordinator::kLastSyncDateKey, "yesterday");
    sync.refreshAccountStatus();
    EXPECT_EQ(summary(), "Synced") << "anything but a date counts as none";
}

TEST_F(SyncCoordinatorTest, AnswersWithoutADecisionAreAskedAgainAfter2AndThen4Seconds)
{
    cloud->queueAccountAnswers({CloudAccountStatus::temporarilyUnavailable, CloudAccountStatus::temporarilyUnavailable,
                                CloudAccountStatus::temporarilyUnavailable});
    auto& sync = make();
    QSignalSpy statusChanges(&sync, &SyncCoordinator::statusChanged);
    bool finished = false;
    sync.start(true, [&] { finished = true; });
    EXPECT_EQ(cloud->accountQueryCount(), 1);
    EXPECT_EQ(sync.status(), SyncStatus::idle()) << "no checking state while asking";

    scheduler.advance(std::chrono::seconds(2) - Duration(1));
    EXPECT_EQ(cloud->accountQueryCount(), 1);
    scheduler.advance(Duration(1));
    EXPECT_EQ(cloud->accountQueryCount(), 2);
    scheduler.advance(std::chrono::seconds(4) - Duration(1));
    EXPECT_EQ(cloud->accountQueryCount(), 2);
    EXPECT_FALSE(finished);
    scheduler.advance(Duration(1));
    EXPECT_EQ(cloud->accountQueryCount(), 3);
    EXPECT_TRUE(finished);
    EXPECT_EQ(summary(), "Couldn't reach the sync folder");
    EXPECT_EQ(sync.accountError(), std::nullopt) << "every query answered";
    scheduler.advance(std::chrono::seconds(60));
    EXPECT_EQ(cloud->accountQueryCount(), 3) << "no pause after the third attempt, and no fourth";
}

TEST_F(SyncCoordinatorTest, ErrorsAreRecordedAndClearedByTheAnswerThatFollows)
{
    cloud->queueAccountAnswers({failure("offline"), failure("still offline"), CloudAccountStatus::available});
    auto& sync = make();
    sync.start(true);
    EXPECT_EQ(sync.accountError(), std::optional<std::string>("offline"));
    scheduler.advance(std::chrono::seconds(2));
    EXPECT_EQ(sync.accountError(), std::optional<std::string>("still offline")) << "the last one wins";
    scheduler.advance(std::chrono::seconds(4));
    EXPECT_EQ(sync.status(), SyncStatus::idle());
    EXPECT_EQ(sync.accountError(), std::nullopt);

    cloud->queueAccountAnswers({failure("a"), failure("b"), failure("c")});
    sync.refreshAccountStatus();
    scheduler.advance(std::chrono::seconds(6));
    EXPECT_EQ(summary(), "Couldn't reach the sync folder");
    EXPECT_EQ(sync.accountError(), std::optional<std::string>("c"));
}

TEST_F(SyncCoordinatorTest, EachDecidingAnswerHasItsMessage)
{
    const struct {
        CloudAccountStatus answer;
        const char* summary;
    } cases[] = {
        {CloudAccountStatus::restricted, "The sync folder is read-only"},
        {CloudAccountStatus::noAccount, "No sync folder"},
        {CloudAccountStatus::available, "Synced"},
    };
    auto& sync = make();
    ASSERT_TRUE(start(sync, true));
    for (const auto& c : cases) {
        cloud->setAccountStatus(c.answer);
        sync.refreshAccountStatus();
        EXPECT_EQ(summary(), c.summary);
    }
}

TEST_F(SyncCoordinatorTest, TheLastCheckToFinishDecides)
{
    auto& sync = make();
    ASSERT_TRUE(start(sync, true));
    cloud->setHoldsAccountQueries(true);
    sync.refreshAccountStatus();
    sync.refreshAccountStatus();
    ASSERT_EQ(cloud->heldQueryCount(), 2u);
    cloud->answerHeldQuery(CloudAccountStatus::noAccount);
    EXPECT_EQ(summary(), "No sync folder");
    cloud->answerHeldQuery(CloudAccountStatus::restricted);
    EXPECT_EQ(summary(), "The sync folder is read-only");
}

TEST_F(SyncCoordinatorTest, MirroringEventsMoveTheStatusAndRecordTheLastSync)
{
    auto& sync = make();
    ASSERT_TRUE(start(sync, true));
    postEvent({CloudMirrorEvent::Type::exportChanges, false, std::nullopt, std::nullopt});
    EXPECT_EQ(summary(), "Syncing\u2026");

    postEvent({CloudMirrorEvent::Type::exportChanges, false, clock.now(),
               CloudError{CloudError::quotaExceeded, "The cloud folder is full"}});
    EXPECT_EQ(summary(), "The sync folder is full");
    EXPECT_FALSE(sync.status().isActive());
    EXPECT_EQ(defaults->dateForKey(SyncCoordinator::kLastSyncDateKey), std::nullopt);

    const Date end = clock.now();
    postEvent({CloudMirrorEvent::Type::importChanges, false, end, CloudError{CloudError::internalError, "disk"}});
    EXPECT_EQ(sync.status(), SyncStatus::idle(end)) << "an ended event that failed otherwise counts as finished";
    EXPECT_EQ(defaults->dateForKey(SyncCoordinator::kLastSyncDateKey), end);
    clock.advance(std::chrono::minutes(2));
    EXPECT_EQ(summary(), "Synced 2 min. ago");

    NotificationCenter::defaultCenter().post(CloudMirror::eventChangedNotification, {});
    NotificationCenter::defaultCenter().post(CloudMirror::eventChangedNotification,
                                             {{CloudMirror::eventKey, QString("not an event")}});
    EXPECT_EQ(sync.status(), SyncStatus::idle(end)) << "a notification without an event is ignored";

    sync.stop();
    postEvent({CloudMirrorEvent::Type::exportChanges, false, std::nullopt, std::nullopt});
    EXPECT_EQ(sync.status(), SyncStatus::idle(end));
}

TEST_F(SyncCoordinatorTest, AnEqualStatusNotifiesOnce)
{
    auto& sync = make();
    ASSERT_TRUE(start(sync, true));
    QSignalSpy statusChanges(&sync, &SyncCoordinator::statusChanged);
    postEvent({CloudMirrorEvent::Type::exportChanges, false, std::nullopt, std::nullopt});
    postEvent({CloudMirrorEvent::Type::exportChanges, false, std::nullopt, std::nullopt});
    EXPECT_EQ(statusChanges.count(), 1);
}

TEST_F(SyncCoordinatorTest, AccountChangesRunTheCheckAgain)
{
    auto& sync = make();
    ASSERT_TRUE(start(sync, true));
    const int before = cloud->accountQueryCount();
    cloud->setAccountStatus(CloudAccountStatus::noAccount);
    cloud->announceAccountChange();
    EXPECT_EQ(cloud->accountQueryCount(), before + 1);
    EXPECT_EQ(summary(), "No sync folder");
}

TEST_F(SyncCoordinatorTest, APushRegistrationIsKeptWhetherItComesBeforeOrAfterStart)
{
    auto& sync = make();
    QSignalSpy pushChanges(&sync, &SyncCoordinator::pushChanged);
    sync.notePushRegistration(SyncCoordinator::PushRegistration::failed("no network"));
    sync.notePushRegistration(SyncCoordinator::PushRegistration::failed("no network"));
    EXPECT_EQ(pushChanges.count(), 1);
    EXPECT_EQ(sync.push().description(), "failed(\"no network\")");
    EXPECT_EQ(sync.status(), SyncStatus::idle()) << "the status does not depend on it";
    EXPECT_EQ(SyncCoordinator::PushRegistration::pending().description(), "pending");
    EXPECT_EQ(SyncCoordinator::PushRegistration::registered().description(), "registered");
}

TEST_F(SyncCoordinatorTest, AFolderWatchThatCannotRunIsAFailedPushRegistration)
{
    cloud->setWatchFailure("Cannot watch the cloud folder");
    auto& sync = make();
    ASSERT_TRUE(start(sync, true));
    EXPECT_EQ(sync.push(), SyncCoordinator::PushRegistration::failed("Cannot watch the cloud folder"));
}

TEST_F(SyncCoordinatorTest, WhenTheMirroredStoreCannotOpenTheSameFileOpensLocalOnly)
{
    auto& sync = make(nullptr);
    ASSERT_TRUE(start(sync, true));
    ASSERT_NE(sync.container(), nullptr);
    EXPECT_EQ(sync.container()->configuration().url, root() / "Vude" / "Vude.store");
    EXPECT_FALSE(sync.container()->isMirrored());
    EXPECT_TRUE(sync.isLocalOnly());
    ASSERT_TRUE(sync.containerError().has_value());
    EXPECT_FALSE(sync.containerError()->empty());
    EXPECT_EQ(summary(), "Couldn't reach the sync folder");

    postEvent({CloudMirrorEvent::Type::exportChanges, false, std::nullopt, std::nullopt});
    EXPECT_EQ(summary(), "Syncing\u2026") << "the observers are installed all the same";
}

TEST_F(SyncCoordinatorTest, WithNoStoreThatOpensThereIsNoContainer)
{
    writeFile(storeFolder() / "Vude.store", "not a database, and not ours to overwrite");
    auto& sync = make();
    ASSERT_TRUE(start(sync, true));
    EXPECT_EQ(sync.container(), nullptr);
    EXPECT_TRUE(sync.isLocalOnly());
    EXPECT_TRUE(sync.containerError().has_value());
}

class SyncCoordinatorFolderTest : public SyncCoordinatorTest {
protected:
    fs::path cloudFolder() const { return root() / "Vude" / "Cloud"; }

    std::shared_ptr<FolderCloudDatabase> folderCloud()
    {
        return std::make_shared<FolderCloudDatabase>(cloudFolder(), kContainer,
                                                     "0A000000-0000-4000-8000-000000000000", scheduler, clock);
    }
};

TEST_F(SyncCoordinatorFolderTest, WithoutACloudFolderTheUserIsNotSignedIn)
{
    auto& sync = make(folderCloud());
    ASSERT_TRUE(start(sync, true));
    EXPECT_EQ(summary(), "No sync folder");
    EXPECT_FALSE(sync.isLocalOnly()) << "the store is mirrored, waiting for the account";
}

TEST_F(SyncCoordinatorFolderTest, AFolderThatGoesAwayForAWhileCannotBeReachedAfterThreeTries)
{
    fs::create_directories(root() / "Elsewhere");
    fs::create_directories(storeFolder());
    fs::create_directory_symlink(root() / "Elsewhere", cloudFolder());
    fs::remove(root() / "Elsewhere");
    auto& sync = make(folderCloud());
    bool finished = false;
    sync.start(true, [&] { finished = true; });
    scheduler.advance(std::chrono::seconds(2));
    EXPECT_FALSE(finished);
    scheduler.advance(std::chrono::seconds(4));
    ASSERT_TRUE(finished);
    EXPECT_EQ(summary(), "Couldn't reach the sync folder");
}

TEST_F(SyncCoordinatorFolderTest, ASaveShowsSyncingThenSynced)
{
    fs::create_directories(cloudFolder());
    auto& sync = make(folderCloud());
    ASSERT_TRUE(start(sync, true));
    scheduler.runDue();
    std::vector<std::string> shown;
    QObject::connect(&sync, &SyncCoordinator::statusChanged, [&] { shown.push_back(summary()); });
    auto context = sync.container()->makeContext();
    context->insert(std::make_shared<SyncedTodo>());
    ASSERT_TRUE(context->save().has_value());
    scheduler.advance(std::chrono::seconds(2));
    EXPECT_EQ(shown, (std::vector<std::string>{"Syncing\u2026", "Synced 0 sec. ago"}));
    EXPECT_EQ(defaults->dateForKey(SyncCoordinator::kLastSyncDateKey), clock.now());
}

TEST_F(SyncCoordinatorFolderTest, AFullCloudFolderSaysTheStorageIsFull)
{
    fs::create_directories(cloudFolder());
    FolderCloudDatabase::Options options;
    options.quotaBytes = 200;
    auto& sync = make(std::make_shared<FolderCloudDatabase>(cloudFolder(), kContainer,
                                                            "0A000000-0000-4000-8000-000000000000", scheduler, clock,
                                                            options));
    ASSERT_TRUE(start(sync, true));
    auto context = sync.container()->makeContext();
    for (int i = 0; i < 5; ++i)
        context->insert(std::make_shared<SyncedTodo>(Uuid::random(), "Something to do", false, false, clock.now(),
                                                     std::nullopt, 0, "A"));
    ASSERT_TRUE(context->save().has_value());
    scheduler.advance(std::chrono::seconds(2));
    EXPECT_EQ(summary(), "The sync folder is full");
}

class LegacyStoreTest : public SyncCoordinatorTest {
protected:
    /// A store of this app as an earlier build left it, holding one to-do.
    void makeLegacyStore(bool withCompanions = true)
    {
        ModelConfiguration configuration;
        configuration.url = root() / "default.store";
        {
            auto container = ModelContainer::open(configuration);
            ASSERT_TRUE(container.has_value());
            auto context = (*container)->makeContext();
            context->insert(std::make_shared<SyncedTodo>(Uuid::random(), "From the earlier build", false, false,
                                                         clock.now(), std::nullopt, 0, "A"));
            ASSERT_TRUE(context->save().has_value());
        }
        if (withCompanions) {
            writeFile(root() / "default.store-wal", "");
            writeFile(root() / "default.store-shm", "");
        }
        writeFile(root() / "default_ckAssets" / "asset.bin", "asset");
    }

    std::vector<std::string> titles() const
    {
        auto rows = coordinator->container()->makeContext()->fetchAll<SyncedTodo>();
        std::vector<std::string> result;
        for (const auto& row : rows.value())
            result.push_back(row->title);
        return result;
    }
};

TEST_F(LegacyStoreTest, AnEarlierStoreIsMovedIntoPlaceBeforeTheStoreOpensAndOnlyOnce)
{
    makeLegacyStore();
    auto& sync = make();
    ASSERT_TRUE(start(sync, true));
    EXPECT_EQ(titles(), std::vector<std::string>{"From the earlier build"});
    for (const char* name : {"default.store", "default.store-wal", "default.store-shm", "default_ckAssets"})
        EXPECT_FALSE(fs::exists(root() / name)) << name;
    EXPECT_EQ(testsupport::folderEntries(storeFolder() / "Vude_ckAssets"), std::vector<std::string>{"asset.bin"});

    coordinator.reset();
    makeLegacyStore();
    auto& again = make();
    ASSERT_TRUE(start(again, true));
    EXPECT_EQ(titles(), std::vector<std::string>{"From the earlier build"}) << "the second launch moves nothing";
    EXPECT_TRUE(fs::exists(root() / "default.store"));
}

TEST_F(LegacyStoreTest, NothingMovesWhenTheStoreIsAlreadyThere)
{
    makeLegacyStore();
    writeFile(storeFolder() / "Vude.store", "");
    auto& sync = make();
    ASSERT_TRUE(start(sync, false));
    EXPECT_TRUE(titles().empty());
    for (const char* name : {"default.store", "default.store-wal", "default.store-shm", "default_ckAssets"})
        EXPECT_TRUE(fs::exists(root() / name)) << name;
}

TEST_F(LegacyStoreTest, CompanionsWithoutTheStoreItselfStayWhereTheyAre)
{
    writeFile(root() / "default.store-wal", "wal");
    auto& sync = make();
    ASSERT_TRUE(start(sync, false));
    EXPECT_EQ(testsupport::folderEntries(root()), (std::vector<std::string>{"Vude", "default.store-wal"}));
}

TEST_F(LegacyStoreTest, AnotherProgramsDefaultStoreIsLeftAlone)
{
    {
        auto database = SqliteDatabase::open(root() / "default.store");
        ASSERT_TRUE(database.has_value());
        ASSERT_TRUE(database->execute("CREATE TABLE notes (text TEXT); INSERT INTO notes VALUES ('theirs')").has_value());
    }
    writeFile(root() / "other.txt", "x");
    fs::copy_file(root() / "other.txt", root() / "default_ckAssets");
    auto& sync = make();
    ASSERT_TRUE(start(sync, false));
    EXPECT_TRUE(fs::exists(root() / "default.store")) << "Application Support is every program's folder";
    EXPECT_TRUE(fs::exists(root() / "default_ckAssets"));
    EXPECT_TRUE(titles().empty());

    coordinator.reset();
    fs::remove(storeFolder() / "Vude.store");
    writeFile(root() / "default.store", "plain text, not a database at all");
    auto& again = make();
    ASSERT_TRUE(start(again, false));
    EXPECT_TRUE(fs::exists(root() / "default.store"));
}
