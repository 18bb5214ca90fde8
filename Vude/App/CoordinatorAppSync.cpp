#include "Vude/App/CoordinatorAppSync.h"

#include "Platform/Cloud/FolderCloudDatabase.h"
#include "Platform/Core/XdgPaths.h"
#include "VudeServices/CloudKitProbe.h"
#include "VudeSync/Deduplicator.h"
#include "VudeSync/DidoDivuzerore.h"
#include "VudeSync/JSONMigration.h"
#include "VudeSync/ModelContext.h"
#include "VudeSync/Schema.h"

namespace {

std::shared_ptr<CloudDatabase> cloudOfThisInstall(Scheduler& scheduler, const ClockSource& clock,
                                                  const AppSync::TraceSink& trace)
{
    auto database = FolderCloudDatabase::forThisInstall(CoordinatorAppSync::kContainerID, scheduler, clock, trace);
    if (!database) {
        // Without an install id the store stays on this computer.
        if (trace)
            trace("cloud database unavailable: " + database.error());
        return nullptr;
    }
    return *database;
}

} // namespace

CoordinatorAppSync::CoordinatorAppSync(Scheduler& scheduler, const ClockSource& clock, TraceSink trace)
    : CoordinatorAppSync(cloudOfThisInstall(scheduler, clock, trace), XdgPaths::applicationSupportRoot(), nullptr,
                         scheduler, clock, trace)
{
}

CoordinatorAppSync::CoordinatorAppSync(std::shared_ptr<CloudDatabase> cloud,
                                       std::filesystem::path applicationSupportRoot,
                                       std::shared_ptr<UserDefaults> defaults, Scheduler& scheduler,
                                       const ClockSource& clock, TraceSink trace)
    : m_cloud(std::move(cloud))
    , m_applicationSupportRoot(std::move(applicationSupportRoot))
    , m_defaults(std::move(defaults))
    , m_clock(clock)
{
    SyncCoordinator::Services services;
    services.applicationSupportRoot = m_applicationSupportRoot;
    services.cloud = m_cloud;
    services.scheduler = &scheduler;
    services.clock = &clock;
    services.defaults = m_defaults;
    services.trace = std::move(trace);
    // The mirror's passes read and write files and the store: off the main thread.
    services.mirror.passesOffMainThread = true;
    m_coordinator = std::make_unique<SyncCoordinator>(kContainerID, std::move(services));
}

CoordinatorAppSync::~CoordinatorAppSync() = default;

void CoordinatorAppSync::start(bool syncEnabled, std::function<void()> done)
{
    m_coordinator->start(syncEnabled, std::move(done));
}

std::string CoordinatorAppSync::statusSummary() const
{
    return m_coordinator->status().summary(m_clock);
}

bool CoordinatorAppSync::isLocalOnly() const
{
    return m_coordinator->isLocalOnly();
}

std::optional<std::string> CoordinatorAppSync::accountError() const
{
    return m_coordinator->accountError();
}

bool CoordinatorAppSync::hasContainer() const
{
    return m_coordinator->container() != nullptr;
}

std::optional<AppSync::ImportSummary> CoordinatorAppSync::importEarlierFiles(const std::string& deviceID)
{
    ModelContainer* container = m_coordinator->container();
    if (!container)
        return std::nullopt;
    auto context = container->makeContext();
    const JSONMigration migration(kContainerName, deviceID,
                                  JSONMigration::Environment{m_applicationSupportRoot, m_defaults, &m_clock});
    const auto summary = migration.run(*context, false);
    if (!summary)
        return std::nullopt;
    return ImportSummary{summary->todos, summary->timers, summary->shortcuts, summary->notes};
}

std::shared_ptr<DidoDivuzerore> CoordinatorAppSync::makeRepository(const std::string& deviceID, TraceSink trace)
{
    ModelContainer* container = m_coordinator->container();
    if (!container)
        return nullptr;
    return std::make_shared<DidoDivuzerore>(container->makeContext(), deviceID, m_clock, std::move(trace));
}

void CoordinatorAppSync::deleteAllRows()
{
    ModelContainer* container = m_coordinator->container();
    if (!container)
        return;
    auto context = container->makeContext();
    // Each failure is dropped: what can go, goes.
    (void)context->removeAll<SyncedTodo>();
    (void)context->removeAll<SyncedNoteRevision>();
    (void)context->removeAll<SyncedNote>();
    (void)context->removeAll<SyncedTimer>();
    (void)context->removeAll<SyncedShortcut>();
    (void)context->save();
}

std::optional<int> CoordinatorAppSync::deduplicate()
{
    ModelContainer* container = m_coordinator->container();
    if (!container)
        return std::nullopt;
    auto context = container->makeContext();
    const auto summary = Deduplicator{}.run(*context);
    if (!summary)
        return std::nullopt;
    return summary->total();
}

void CoordinatorAppSync::probeCloud(std::function<void(std::string summary, std::string detail)> done)
{
    const CloudKitProbe probe(kContainerID, m_cloud, &m_clock);
    probe.run([done = std::move(done)](const CloudKitProbe::Result& result) { done(result.summary(), result.detail); });
}
