#include "VudeServices/CloudKitProbe.h"

#include "Platform/Cloud/FolderCloudDatabase.h"
#include "Platform/Cloud/InMemoryCloudDatabase.h"
#include "VudeKit/Uuid.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

constexpr const char* kContainer = "iCloud.app.ruvudav.notch";

CloudKitProbe::Result runProbe(const CloudKitProbe& probe)
{
    std::optional<CloudKitProbe::Result> result;
    probe.run([&](CloudKitProbe::Result answer) { result = std::move(answer); });
    EXPECT_TRUE(result.has_value());
    return result.value_or(CloudKitProbe::Result{});
}

} // namespace

class CloudKitProbeTest : public ::testing::Test {
protected:
    QTemporaryDir root;
    ManualClock clock{kReferenceDate + std::chrono::hours(24 * 365 * 20)};
    ManualScheduler scheduler{clock};

    std::shared_ptr<FolderCloudDatabase> folder(const fs::path& cloud)
    {
        return std::make_shared<FolderCloudDatabase>(cloud, kContainer, "0A000000-0000-4000-8000-000000000000",
                                                     scheduler, clock);
    }
};

TEST_F(CloudKitProbeTest, AWorkingCloudFolderIsReachableAndKeepsNoProbeRecord)
{
    const fs::path cloud = fs::path(root.path().toStdString()) / "Cloud";
    fs::create_directories(cloud);
    auto database = folder(cloud);
    const auto result = runProbe(CloudKitProbe(kContainer, database, &clock));
    EXPECT_EQ(result, (CloudKitProbe::Result{"available", true, "write + read + delete succeeded"}));
    EXPECT_EQ(result.summary(), "\u2705 Sync folder reachable (account: available)");

    const auto snapshot = database->fetchAll().value();
    for (const auto& record : snapshot.records)
        EXPECT_TRUE(record.deleted) << record.recordName << " was left behind";
}

TEST_F(CloudKitProbeTest, AMissingCloudFolderIsNoAccount)
{
    const fs::path cloud = fs::path(root.path().toStdString()) / "Cloud";
    const auto result = runProbe(CloudKitProbe(kContainer, folder(cloud), &clock));
    EXPECT_EQ(result, (CloudKitProbe::Result{"no account", false, "sync folder status: no account"}));
    EXPECT_EQ(result.summary(), "\u274C Sync folder unreachable \u2014 sync folder status: no account");
    EXPECT_FALSE(fs::exists(cloud));
}

TEST_F(CloudKitProbeTest, EveryAccountStatusHasItsText)
{
    const struct {
        CloudAccountStatus status;
        const char* text;
    } cases[] = {
        {CloudAccountStatus::couldNotDetermine, "could not determine"},
        {CloudAccountStatus::restricted, "restricted"},
        {CloudAccountStatus::noAccount, "no account"},
        {CloudAccountStatus::temporarilyUnavailable, "temporarily unavailable"},
    };
    for (const auto& c : cases) {
        auto database = std::make_shared<InMemoryCloudDatabase>(kContainer, "A", clock);
        database->setAccountStatus(c.status);
        const auto result = runProbe(CloudKitProbe(kContainer, database, &clock));
        EXPECT_EQ(result, (CloudKitProbe::Result{c.text, false, std::string("sync folder status: ") + c.text}));
        EXPECT_EQ(database->modifyCount(), 0) << "nothing is written without an account";
    }
    EXPECT_EQ(CloudKitProbe::accountStatusText(1), "available");
    EXPECT_EQ(CloudKitProbe::accountStatusText(5), "unknown");
    EXPECT_EQ(CloudKitProbe::accountStatusText(-1), "unknown");
    EXPECT_EQ(runProbe(CloudKitProbe(kContainer, nullptr, &clock)).accountStatus, "could not determine");
}

TEST_F(CloudKitProbeTest, FailuresBecomeResults)
{
    auto database = std::make_shared<InMemoryCloudDatabase>(kContainer, "A", clock);
    database->setAccountStatus(unexpected(CloudError{CloudError::networkUnavailable, "The network is down."}));
    EXPECT_EQ(runProbe(CloudKitProbe(kContainer, database, &clock)),
              (CloudKitProbe::Result{"error", false, "accountStatus failed: The network is down."}));

    database->setAccountStatus(CloudAccountStatus::available);
    database->setModifyFailure(CloudError{CloudError::quotaExceeded, "The cloud folder is full."});
    EXPECT_EQ(runProbe(CloudKitProbe(kContainer, database, &clock)),
              (CloudKitProbe::Result{"available", false, "sync folder error 25: The cloud folder is full."}));
    EXPECT_EQ(database->modifyCount(), 1) << "a failed save leaves nothing to delete";

    database->setModifyFailure(std::nullopt);
    database->setFetchFailure(CloudError{CloudError::internalError, "Cannot read."});
    EXPECT_EQ(runProbe(CloudKitProbe(kContainer, database, &clock)),
              (CloudKitProbe::Result{"available", false, "sync folder error 1: Cannot read."}));
}

TEST_F(CloudKitProbeTest, AFailedDeleteStillCountsAsARoundTrip)
{
    auto database = std::make_shared<InMemoryCloudDatabase>(kContainer, "A", clock);
    database->failModifiesAfter(1, CloudError{CloudError::internalError, "Cannot delete."});
    const auto result = runProbe(CloudKitProbe(kContainer, database, &clock));
    EXPECT_TRUE(result.roundTripSucceeded);
    EXPECT_EQ(database->modifyCount(), 2) << "the delete was tried";
}

TEST_F(CloudKitProbeTest, EachRunUsesAFreshRecordName)
{
    auto space = std::make_shared<InMemoryCloudDatabase::Space>();
    // Another install that has applied nothing keeps the deletion marks around.
    space->states["B"] = CloudInstallState("B");
    auto database = std::make_shared<InMemoryCloudDatabase>(kContainer, "A", clock, space);
    const CloudKitProbe probe(kContainer, database, &clock);
    runProbe(probe);
    runProbe(probe);
    const auto& marks = space->states["A"].records;
    ASSERT_EQ(marks.size(), 2u);
    for (const auto& [name, entry] : marks) {
        EXPECT_EQ(name.rfind("vude-probe-", 0), 0u);
        EXPECT_TRUE(Uuid::parse(name.substr(11)).has_value());
        EXPECT_EQ(entry.record.recordType, "VudeProbe");
        EXPECT_TRUE(entry.record.deleted);
    }
}
