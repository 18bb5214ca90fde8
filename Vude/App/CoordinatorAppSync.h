#pragma once
// The sync task's store (AppSync) over the sync coordinator: the store in
// Application Support, mirrored to this user's cloud folder when sync is on,
// and the import, clearing and de-duplication run on fresh model contexts of
// its container. Main thread only.

#include "Platform/Cloud/CloudDatabase.h"
#include "Vude/App/AppSync.h"
#include "VudeKit/ClockSource.h"
#include "VudeKit/Scheduler.h"
#include "VudeSync/SyncCoordinator.h"

#include <memory>
#include <string>

class CoordinatorAppSync final : public AppSync {
public:
    static constexpr const char* kContainerID = "iCloud.app.ruvudav.notch";
    static constexpr const char* kContainerName = "Vude";

    /// The cloud database of this install, and the coordinator over it;
    /// nothing is opened until start(). `scheduler` and `clock` must outlive
    /// this.
    CoordinatorAppSync(Scheduler& scheduler, const ClockSource& clock, TraceSink trace);
    /// Over a given cloud database (none: the store can only be local) and
    /// Application Support folder; for tests.
    CoordinatorAppSync(std::shared_ptr<CloudDatabase> cloud, std::filesystem::path applicationSupportRoot,
                       std::shared_ptr<UserDefaults> defaults, Scheduler& scheduler, const ClockSource& clock,
                       TraceSink trace);
    ~CoordinatorAppSync() override;

    SyncCoordinator& coordinator() const { return *m_coordinator; }

    void start(bool syncEnabled, std::function<void()> done) override;
    std::string statusSummary() const override;
    bool isLocalOnly() const override;
    std::optional<std::string> accountError() const override;
    bool hasContainer() const override;
    std::optional<ImportSummary> importEarlierFiles(const std::string& deviceID) override;
    std::shared_ptr<DidoDivuzerore> makeRepository(const std::string& deviceID, TraceSink trace) override;
    void deleteAllRows() override;
    std::optional<int> deduplicate() override;
    void probeCloud(std::function<void(std::string summary, std::string detail)> done) override;

private:
    std::shared_ptr<CloudDatabase> m_cloud;
    std::filesystem::path m_applicationSupportRoot;
    std::shared_ptr<UserDefaults> m_defaults;
    const ClockSource& m_clock;
    std::unique_ptr<SyncCoordinator> m_coordinator;
};
