// The mirror with its passes on its worker: the main thread hands them over
// and never waits for one, and a change saved while a pass runs is kept.
#include "Platform/Cloud/InMemoryCloudDatabase.h"
#include "Platform/Core/NotificationCenter.h"
#include "VudeSync/CloudMirror.h"
#include "VudeSync/ModelContainer.h"
#include "VudeSync/ModelContext.h"

#include "TestSupport.h"

#include <QTemporaryDir>
#include <QVariant>
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

namespace {

constexpr const char* kContainer = "iCloud.app.ruvudav.notch";
constexpr Duration kExportDelay = std::chrono::seconds(2);

/// Forwards to another database; notes the threads records are handled on,
/// and can hold writes until the test lets them go.
class HeldCloud final : public CloudDatabase {
public:
    explicit HeldCloud(std::shared_ptr<CloudDatabase> inner) : m_inner(std::move(inner)) {}

    void hold()
    {
        std::scoped_lock lock(m_mutex);
        m_holding = true;
    }
    void release()
    {
        std::scoped_lock lock(m_mutex);
        m_holding = false;
        m_changed.notify_all();
    }
    /// Waits until a write is being held.
    bool waitUntilHeld()
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(20), [this] { return m_held; });
    }
    std::set<std::thread::id> threads() const
    {
        std::scoped_lock lock(m_mutex);
        return m_threads;
    }

    const std::string& containerID() const override { return m_inner->containerID(); }
    const std::string& installID() const override { return m_inner->installID(); }
    void accountStatus(AccountStatusHandler done) override { m_inner->accountStatus(std::move(done)); }
    Expected<void, CloudError> modify(const std::vector<CloudRecord>& records) override
    {
        {
            std::unique_lock lock(m_mutex);
            m_threads.insert(std::this_thread::get_id());
            m_held = m_holding;
            m_changed.notify_all();
            m_changed.wait(lock, [this] { return !m_holding; });
            m_held = false;
        }
        return m_inner->modify(records);
    }
    Expected<CloudSnapshot, CloudError> fetchAll() override
    {
        note();
        return m_inner->fetchAll();
    }
    Expected<CloudSnapshot, CloudError> fetchChanges() override
    {
        note();
        return m_inner->fetchChanges();
    }
    void acknowledge(const std::map<std::string, std::int64_t>& revisions) override
    {
        m_inner->acknowledge(revisions);
    }
    std::optional<CloudRecordVersion> ownVersion(const std::string& recordName) override
    {
        return m_inner->ownVersion(recordName);
    }
    bool hasUnseenChanges() override { return m_inner->hasUnseenChanges(); }
    Expected<void, std::string> startWatching(std::function<void()> onRemoteChange) override
    {
        return m_inner->startWatching(std::move(onRemoteChange));
    }
    void stopWatching() override { m_inner->stopWatching(); }

private:
    void note()
    {
        std::scoped_lock lock(m_mutex);
        m_threads.insert(std::this_thread::get_id());
    }

    std::shared_ptr<CloudDatabase> m_inner;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_holding = false;
    bool m_held = false;
    std::set<std::thread::id> m_threads;
};

struct Desk {
    std::unique_ptr<ModelContainer> container;
    std::shared_ptr<HeldCloud> cloud;
    std::unique_ptr<CloudMirror> mirror;

    std::string titleOf(const std::string& recordName) const
    {
        auto context = container->makeContext();
        const auto rows = context->fetchAll<SyncedTodo>().value();
        for (const auto& row : rows)
            if (row->recordName() == recordName)
                return row->title;
        return "(none)";
    }
    void retitle(const std::string& recordName, const std::string& title) const
    {
        auto context = container->makeContext();
        const auto rows = context->fetchAll<SyncedTodo>().value();
        for (const auto& row : rows)
            if (row->recordName() == recordName)
                row->title = title;
        ASSERT_TRUE(context->save().has_value());
    }
};

class CloudMirrorWorkerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_root.isValid());
        NotificationCenter::defaultCenter().addObserver(
            CloudMirror::eventChangedNotification, &m_context, [this](const Notification& notification) {
                events.push_back(notification.userInfo.value(CloudMirror::eventKey).value<CloudMirrorEvent>());
                eventThreads.insert(std::this_thread::get_id());
            });
    }
    void TearDown() override
    {
        for (auto* desk : {&a, &b})
            desk->mirror.reset();
    }

    void open(Desk& desk, const std::string& name, bool offMainThread)
    {
        ModelConfiguration configuration;
        configuration.url = std::filesystem::path(m_root.path().toStdString()) / name / "Vude.store";
        configuration.cloudContainerID = kContainer;
        std::filesystem::create_directories(configuration.url.parent_path());
        desk.container = ModelContainer::open(configuration).value();
        desk.cloud = std::make_shared<HeldCloud>(std::make_shared<InMemoryCloudDatabase>(kContainer, name, clock, space));
        CloudMirror::Options options;
        options.passesOffMainThread = offMainThread;
        desk.mirror = CloudMirror::start(*desk.container, desk.cloud, scheduler, clock, options).value();
    }

    /// Lets the worker finish, then the main thread hear of it.
    void settle(const Desk& desk)
    {
        desk.mirror->waitForPasses();
        testsupport::processEvents();
    }

    QTemporaryDir m_root;
    ManualClock clock{kReferenceDate + std::chrono::hours(24 * 365 * 20)};
    ManualScheduler scheduler{clock};
    std::shared_ptr<InMemoryCloudDatabase::Space> space = std::make_shared<InMemoryCloudDatabase::Space>();
    Desk a;
    Desk b;
    std::vector<CloudMirrorEvent> events;
    std::set<std::thread::id> eventThreads;
    QObject m_context;
};

TEST_F(CloudMirrorWorkerTest, ScheduledPassesRunOnTheWorkerAndTheMainThreadNeverWaitsForOne)
{
    open(a, "a", true);
    scheduler.runDue();
    settle(a);
    ASSERT_EQ(events.size(), 2u) << "the first pass, announced on the main thread";
    events.clear();

    a.cloud->hold();
    auto context = a.container->makeContext();
    context->insert(std::make_shared<SyncedTodo>(Uuid::random(), "First", false, false, clock.now(), std::nullopt, 0, "a"));
    ASSERT_TRUE(context->save().has_value());
    scheduler.advance(kExportDelay);
    ASSERT_TRUE(a.cloud->waitUntilHeld()) << "the pass is writing to the cloud";

    // The main thread goes on while the pass is held: the store is not
    // locked, and nothing is announced before the pass ends.
    context->insert(std::make_shared<SyncedTodo>(Uuid::random(), "Second", false, false, clock.now(), std::nullopt, 0, "a"));
    ASSERT_TRUE(context->save().has_value()) << "the pass holds no lock on the store while it writes";
    testsupport::processEvents();
    EXPECT_TRUE(events.empty());

    a.cloud->release();
    settle(a);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1].type, CloudMirrorEvent::Type::exportChanges);
    EXPECT_TRUE(events[1].succeeded);
    EXPECT_EQ(eventThreads, std::set{std::this_thread::get_id()}) << "events reach observers on the main thread";
    const auto threads = a.cloud->threads();
    EXPECT_FALSE(threads.contains(std::this_thread::get_id())) << "no record was handled on the main thread";

    scheduler.advance(kExportDelay);
    settle(a);
    EXPECT_EQ(space->states.at("a").records.size(), 2u) << "the save made during the pass went out after it";
}

// A remote version older than a local change saved while the pass ran must
// not overwrite it: had the change gone out first, it would have won.
TEST_F(CloudMirrorWorkerTest, AChangeSavedDuringAPassIsKeptOverAnOlderRemoteVersion)
{
    open(a, "a", true);
    open(b, "b", false);
    auto todo = std::make_shared<SyncedTodo>(Uuid::random(), "Draft", false, false, clock.now(), std::nullopt, 0, "a");
    const auto name = todo->recordName();
    {
        auto context = a.container->makeContext();
        context->insert(todo);
        ASSERT_TRUE(context->save().has_value());
    }
    ASSERT_TRUE(a.mirror->synchronize().has_value());
    ASSERT_TRUE(b.mirror->synchronize().has_value());
    ASSERT_EQ(b.titleOf(name), "Draft");

    clock.advance(std::chrono::seconds(1));
    b.retitle(name, "B's edit");
    ASSERT_TRUE(b.mirror->synchronize().has_value());

    // A's pass starts with another row to send, and is held while sending it.
    clock.advance(std::chrono::seconds(1));
    a.cloud->hold();
    {
        auto context = a.container->makeContext();
        context->insert(std::make_shared<SyncedTodo>(Uuid::random(), "Other", false, false, clock.now(), std::nullopt, 0, "a"));
        ASSERT_TRUE(context->save().has_value());
    }
    scheduler.advance(kExportDelay);
    ASSERT_TRUE(a.cloud->waitUntilHeld());
    a.retitle(name, "A's later edit");
    a.cloud->release();
    settle(a);

    EXPECT_EQ(a.titleOf(name), "A's later edit") << "B's older version does not overwrite it";
    ASSERT_TRUE(b.mirror->synchronize().has_value());
    EXPECT_EQ(b.titleOf(name), "A's later edit") << "and it wins on B too";
}

} // namespace
