#include "Platform/Cloud/CloudInstallIdentity.h"
#include "Platform/Cloud/FolderCloudDatabase.h"
#include "Platform/Core/AtomicFile.h"
#include "Platform/Core/NotificationCenter.h"
#include "Platform/Core/XdgPaths.h"
#include "VudeKit/Uuid.h"

#include "TestSupport.h"

#include <QObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

constexpr const char* kContainer = "iCloud.app.ruvudav.notch";
const std::string kInstallA = "0A000000-0000-4000-8000-000000000000";
const std::string kInstallB = "0B000000-0000-4000-8000-000000000000";
constexpr Duration kSecond = std::chrono::seconds(1);

CloudRecord todo(const std::string& name, Date at, const std::string& title)
{
    CloudRecord record;
    record.recordName = name;
    record.recordType = "SyncedTodo";
    record.fields = {{"title", title}};
    record.modifiedAt = at;
    return record;
}

std::map<std::string, CloudRecord> byName(const CloudSnapshot& snapshot)
{
    std::map<std::string, CloudRecord> result;
    for (const auto& record : snapshot.records)
        result[record.recordName] = record;
    return result;
}

void writeFile(const fs::path& path, const std::string& bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

} // namespace

class FolderCloudDatabaseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        clock.set(kReferenceDate + std::chrono::hours(24 * 365 * 20));
        fs::create_directories(cloud());
    }

    fs::path base() const { return root.path().toStdString(); }
    fs::path cloud() const { return base() / "Vude" / "Cloud"; }
    fs::path container() const { return cloud() / kContainer; }

    std::unique_ptr<FolderCloudDatabase> make(const std::string& install, FolderCloudDatabase::Options options = {})
    {
        return std::make_unique<FolderCloudDatabase>(cloud(), kContainer, install, scheduler, clock, options,
                                                     [this](const std::string& line) { traces.push_back(line); });
    }

    bool traced(const std::string& fragment) const
    {
        return std::any_of(traces.begin(), traces.end(),
                           [&](const std::string& line) { return line.find(fragment) != std::string::npos; });
    }

    QTemporaryDir root;
    ManualClock clock;
    ManualScheduler scheduler{clock};
    std::vector<std::string> traces;
};

TEST_F(FolderCloudDatabaseTest, TheAccountStatusIsTheFolderState)
{
    auto database = make(kInstallA);
    const auto statusNow = [&] {
        std::optional<CloudDatabase::AccountStatusResult> answer;
        database->accountStatus([&](CloudDatabase::AccountStatusResult result) { answer = result; });
        EXPECT_TRUE(answer.has_value()) << "the folder answers at once";
        return answer && *answer ? std::optional(**answer) : std::nullopt;
    };
    EXPECT_EQ(statusNow(), CloudAccountStatus::available);

    ::chmod(cloud().c_str(), 0555);
    EXPECT_EQ(statusNow(), CloudAccountStatus::restricted) << "read-only, even for root";
    ::chmod(cloud().c_str(), 0700);

    fs::remove_all(cloud());
    EXPECT_EQ(statusNow(), CloudAccountStatus::noAccount);

    fs::create_directories(base() / "Synced");
    fs::create_directory_symlink(base() / "Synced", cloud());
    EXPECT_EQ(statusNow(), CloudAccountStatus::available) << "a link to a synced folder is the usual set-up";

    fs::remove(base() / "Synced");
    EXPECT_EQ(statusNow(), CloudAccountStatus::temporarilyUnavailable) << "the link's target is gone for now";

    fs::remove(cloud());
    writeFile(cloud(), "not a folder");
    EXPECT_EQ(statusNow(), CloudAccountStatus::couldNotDetermine);
}

TEST_F(FolderCloudDatabaseTest, OperationsWithoutAUsableFolderFailWithoutTouchingAnything)
{
    fs::remove_all(cloud());
    auto database = make(kInstallA);
    auto saved = database->save(todo("r", clock.now(), "x"));
    ASSERT_FALSE(saved.has_value());
    EXPECT_EQ(saved.error().code, CloudError::notAuthenticated);
    EXPECT_FALSE(database->fetchAll().has_value());
    EXPECT_FALSE(fs::exists(cloud())) << "the folder is the user's to make, never ours";
}

TEST_F(FolderCloudDatabaseTest, EachInstallWritesOnlyItsOwnFileAndReadsEveryoneElses)
{
    auto a = make(kInstallA);
    auto b = make(kInstallB);
    ASSERT_TRUE(a->save(todo("from-a", clock.now(), "Milk")).has_value());
    const auto aFile = AtomicFile::read(a->ownFile()).value();

    auto seen = b->fetchAll();
    ASSERT_TRUE(seen.has_value());
    ASSERT_EQ(byName(*seen).count("from-a"), 1u);
    EXPECT_EQ(byName(*seen)["from-a"].writer, kInstallA);
    EXPECT_EQ(byName(*seen)["from-a"].fields["title"], "Milk");

    clock.advance(kSecond);
    ASSERT_TRUE(b->save(todo("from-a", clock.now(), "Oat milk")).has_value()) << "B edits A's record";
    b->acknowledge(seen->revisions);
    EXPECT_EQ(AtomicFile::read(a->ownFile()).value(), aFile) << "B never writes A's file";
    EXPECT_EQ(testsupport::folderEntries(container()),
              (std::vector<std::string>{kInstallA, kInstallA + ".json", kInstallB, kInstallB + ".json"}))
        << "one manifest and one folder of chunks per install, and no leftovers";
    EXPECT_EQ(testsupport::folderEntries(container() / kInstallB),
              (std::vector<std::string>{CloudInstallState::chunkName(CloudInstallState::chunkOf("from-a")) + ".json"}))
        << "only the chunk that holds something";

    auto fromA = a->fetchAll();
    ASSERT_TRUE(fromA.has_value());
    EXPECT_EQ(byName(*fromA)["from-a"].fields["title"], "Oat milk") << "the later write wins";

    struct stat info {};
    ASSERT_EQ(::stat(a->ownFile().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(FolderCloudDatabaseTest, HalfSyncedCorruptAndForeignFilesAreSkippedWithATraceLine)
{
    auto b = make(kInstallB);
    ASSERT_TRUE(b->save(todo("b1", clock.now(), "Bread")).has_value());
    const std::string c = "0C000000-0000-4000-8000-000000000000";
    const std::string d = "0D000000-0000-4000-8000-000000000000";
    const auto whole = AtomicFile::read(b->ownFile()).value();
    writeFile(container() / (c + ".json"), whole.substr(0, whole.size() - 7));
    writeFile(container() / (d + ".json"), whole); // names install B inside
    writeFile(container() / "notes.txt", "hello");
    writeFile(container() / (kInstallB + " (conflicted copy).json"), whole);
    writeFile(container() / ".syncthing.tmp", "partial");
    fs::create_directory(container() / (kInstallA.substr(0, 35) + "E.json"));

    auto a = make(kInstallA);
    auto fetched = a->fetchAll();
    ASSERT_TRUE(fetched.has_value()) << "bad files never fail the whole read";
    EXPECT_EQ(byName(*fetched).count("b1"), 1u);
    EXPECT_EQ(fetched->revisions.size(), 1u) << "only B's good file counts";
    EXPECT_TRUE(traced(c + ".json (half-synced or damaged)"));
    EXPECT_TRUE(traced(d + ".json: it holds the records of another install"));
    EXPECT_TRUE(traced("notes.txt: not a file of this app"));
    EXPECT_TRUE(traced("(conflicted copy).json: not a file of this app"));
    EXPECT_FALSE(traced(".syncthing.tmp")) << "hidden temporary files are ignored quietly";

    const auto lines = traces.size();
    ASSERT_TRUE(a->fetchAll().has_value());
    EXPECT_EQ(traces.size(), lines) << "an unchanged bad file is reported once";
}

// The folder is shared with other computers, so their files are hostile
// input: one nested too deep or too large is skipped, once per version, and
// the rest of the folder is still read.
TEST_F(FolderCloudDatabaseTest, AnotherComputersFileNestedTooDeepOrTooLargeIsSkippedOncePerVersion)
{
    FolderCloudDatabase::Options options;
    options.maxStateFileBytes = 64 * 1024;
    auto b = make(kInstallB, options);
    ASSERT_TRUE(b->save(todo("b1", clock.now(), "Bread")).has_value());
    const std::string c = "0C000000-0000-4000-8000-000000000000";
    const std::string d = "0D000000-0000-4000-8000-000000000000";
    const std::string e = "0E000000-0000-4000-8000-000000000000";
    fs::copy_file(testsupport::sourceDir().toStdString() + "/tests/Platform/fixtures/cloud-state-nested-65.json",
                  container() / (c + ".json"));
    // Deep enough to run any recursive copy off the stack.
    const std::string deep = R"({"format": "vude-cloud-1", "install": ")" + d
                             + R"(", "revision": 1, "records": [{"name": "deep", "type": "SyncedTodo", )"
                             + R"("modified": 1, "revision": 1, "fields": {"title": )" + std::string(200'000, '[')
                             + std::string(200'000, ']') + "}}]}";
    writeFile(container() / (d + ".json"), deep);
    CloudInstallState large(e);
    large.apply({todo("large", clock.now(), std::string(options.maxStateFileBytes, 'x'))}, clock.now());
    writeFile(container() / (e + ".json"), large.encode());

    auto a = make(kInstallA, options);
    auto fetched = a->fetchAll();
    ASSERT_TRUE(fetched.has_value());
    const auto records = byName(*fetched);
    EXPECT_EQ(records.count("b1"), 1u) << "the good file is still read";
    EXPECT_EQ(records.count("deep"), 0u);
    EXPECT_EQ(records.count("large"), 0u);
    EXPECT_EQ(fetched->revisions.size(), 1u);
    const auto count = [&](const std::string& fragment) {
        return std::count_if(traces.begin(), traces.end(),
                             [&](const std::string& line) { return line.find(fragment) != std::string::npos; });
    };
    EXPECT_EQ(count("skipped " + c + ".json"), 1) << "the fixture: one level too deep";
    EXPECT_EQ(count("skipped " + d + ".json"), 1);
    EXPECT_TRUE(traced("nested deeper than 64 levels"));
    EXPECT_EQ(count("skipped " + e + ".json"), 1);
    EXPECT_TRUE(traced("too large"));

    ASSERT_TRUE(a->save(todo("a1", clock.now(), "Milk")).has_value());
    ASSERT_TRUE(a->fetchAll().has_value());
    EXPECT_EQ(count("skipped " + d + ".json"), 1) << "an unchanged file is reported once";

    clock.advance(kSecond);
    writeFile(container() / (d + ".json"), deep + " ");
    ASSERT_TRUE(a->fetchAll().has_value());
    EXPECT_EQ(count("skipped " + d + ".json"), 2) << "a new version of it is reported again";
}

TEST_F(FolderCloudDatabaseTest, ThisInstallNeverWritesAFileTheOthersWouldRefuse)
{
    FolderCloudDatabase::Options options;
    options.maxStateFileBytes = 4096;
    auto a = make(kInstallA, options);
    ASSERT_TRUE(a->save(todo("small", clock.now(), "x")).has_value());
    const auto before = AtomicFile::read(a->ownFile()).value();

    auto tooLarge = a->save(todo("large", clock.now(), std::string(4096, 'x')));
    ASSERT_FALSE(tooLarge.has_value()) << "the other computers would skip it and never hear of this one's writes";
    EXPECT_EQ(tooLarge.error().code, CloudError::quotaExceeded);

    std::vector<CloudRecord> many;
    for (std::size_t i = 0; i <= CloudInstallState::kMaxRecords; ++i)
        many.push_back(todo("r" + std::to_string(i), clock.now(), ""));
    auto unlimited = make(kInstallB);
    auto tooMany = unlimited->modify(many);
    ASSERT_FALSE(tooMany.has_value());
    EXPECT_EQ(tooMany.error().code, CloudError::quotaExceeded);
    EXPECT_FALSE(fs::exists(unlimited->ownFile()));

    EXPECT_EQ(AtomicFile::read(a->ownFile()).value(), before) << "a refused write changes nothing";
    EXPECT_FALSE(a->ownVersion("large").has_value());
}

TEST_F(FolderCloudDatabaseTest, AQuotaRefusesTheWriteWithCode25AndKeepsTheFile)
{
    FolderCloudDatabase::Options options;
    options.quotaBytes = 400;
    auto a = make(kInstallA, options);
    ASSERT_TRUE(a->save(todo("small", clock.now(), "x")).has_value());
    const auto before = AtomicFile::read(a->ownFile()).value();

    auto refused = a->save(todo("large", clock.now(), std::string(500, 'x')));
    ASSERT_FALSE(refused.has_value());
    EXPECT_EQ(refused.error().code, CloudError::quotaExceeded);
    EXPECT_EQ(AtomicFile::read(a->ownFile()).value(), before);
    EXPECT_FALSE(a->ownVersion("large").has_value()) << "a refused write is not held either";
}

TEST_F(FolderCloudDatabaseTest, ThisInstallsFileIsRestoredWhenRemovedAndSetAsideWhenUnreadable)
{
    auto a = make(kInstallA);
    ASSERT_TRUE(a->save(todo("r", clock.now(), "x")).has_value());
    const auto written = AtomicFile::read(a->ownFile()).value();
    fs::remove(a->ownFile());
    ASSERT_TRUE(a->fetchAll().has_value());
    EXPECT_EQ(AtomicFile::read(a->ownFile()).value(), written);

    writeFile(a->ownFile(), "{damaged");
    auto restarted = make(kInstallA);
    ASSERT_TRUE(restarted->fetchAll().has_value());
    EXPECT_TRUE(fs::exists(container() / ("." + kInstallA + ".unreadable.json"))) << "kept for a person to look at";
    EXPECT_TRUE(traced("could not be read"));
    ASSERT_TRUE(restarted->save(todo("s", clock.now(), "y")).has_value());
    EXPECT_TRUE(CloudManifest::decode(AtomicFile::read(restarted->ownFile()).value()).has_value());
}

TEST_F(FolderCloudDatabaseTest, ADeletionTravelsAndIsForgottenOnceTheOtherInstallAppliedIt)
{
    auto a = make(kInstallA);
    auto b = make(kInstallB);
    ASSERT_TRUE(a->save(todo("r", clock.now(), "x")).has_value());
    auto first = b->fetchAll().value();
    b->acknowledge(first.revisions);

    clock.advance(kSecond);
    ASSERT_TRUE(a->remove("r", "SyncedTodo", clock.now()).has_value());
    auto second = b->fetchAll().value();
    ASSERT_EQ(second.records.size(), 1u);
    EXPECT_TRUE(second.records.front().deleted) << "the deletion reaches B as a mark";
    EXPECT_TRUE(a->ownVersion("r").has_value()) << "kept while B has not applied it";

    b->acknowledge(second.revisions);
    ASSERT_TRUE(a->save(todo("other", clock.now(), "y")).has_value());
    EXPECT_FALSE(a->ownVersion("r").has_value()) << "B applied it; nobody needs the mark";
}

TEST_F(FolderCloudDatabaseTest, AnotherInstallsWriteIsNoticedThroughTheWatcherAndThePoll)
{
    auto a = make(kInstallA);
    int changes = 0;
    // As the mirror does: each change is read, so it is news only once.
    ASSERT_TRUE(a->startWatching([&] {
        ++changes;
        (void)a->fetchAll();
    }).has_value());
    ASSERT_TRUE(a->fetchAll().has_value());
    ASSERT_TRUE(a->save(todo("own", clock.now(), "x")).has_value());
    testsupport::processEvents();
    scheduler.advance(std::chrono::seconds(1));
    EXPECT_EQ(changes, 0) << "this install's own write is no news";

    auto b = make(kInstallB);
    ASSERT_TRUE(b->save(todo("theirs", clock.now(), "y")).has_value());
    ASSERT_TRUE(testsupport::waitUntil([&] { return scheduler.pendingCount() > 1; })) << "the watcher saw the folder change";
    scheduler.advance(std::chrono::milliseconds(500));
    EXPECT_EQ(changes, 1);

    clock.advance(kSecond);
    // A chunk written in place, as a network share's other end would: no
    // watcher event.
    const auto chunk = container() / kInstallB / (CloudInstallState::chunkName(CloudInstallState::chunkOf("theirs")) + ".json");
    auto state = CloudChunk::decode(AtomicFile::read(chunk).value()).value();
    state.records["theirs"].record.fields = {{"title", "z"}};
    writeFile(chunk, state.encode() + " ");
    scheduler.advance(std::chrono::seconds(60));
    EXPECT_EQ(changes, 2) << "the slow poll finds it";
}

TEST_F(FolderCloudDatabaseTest, AccountChangesArePostedWhenTheFolderComesAndGoes)
{
    auto a = make(kInstallA);
    std::vector<QString> posted;
    QObject context;
    NotificationCenter::defaultCenter().addObserver(CloudDatabase::accountChangedNotification, &context,
                                                    [&](const Notification& n) {
                                                        posted.push_back(n.userInfo.value("containerID").toString());
                                                    });
    ASSERT_TRUE(a->startWatching([] {}).has_value());
    fs::remove_all(cloud());
    scheduler.advance(std::chrono::seconds(60));
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted.front(), QString(kContainer));

    scheduler.advance(std::chrono::seconds(60));
    EXPECT_EQ(posted.size(), 1u) << "no change, no post";

    fs::create_directories(cloud());
    a->checkFolder();
    EXPECT_EQ(posted.size(), 2u);
}

TEST(CloudInstallIdentityTest, KeepsOneIdPerMachineAndDrawsANewOneOnAnother)
{
    QTemporaryDir root;
    const fs::path base = root.path().toStdString();
    const auto file = base / "Vude" / "CloudInstall.json";
    const auto machine = [&](const std::string& id) {
        fs::create_directories(base / id / "etc");
        writeFile(base / id / "etc/machine-id", id + "\n");
        return DeviceIdentifier::Sources{base / id, {}};
    };
    const auto here = machine("0123456789abcdef0123456789abcdef");
    const auto first = CloudInstallIdentity::loadOrCreate(file, here);
    ASSERT_TRUE(first.has_value());
    EXPECT_TRUE(Uuid::parse(*first).has_value());
    EXPECT_EQ(CloudInstallIdentity::loadOrCreate(file, here).value(), *first);

    const auto copy = machine("fedcba9876543210fedcba9876543210");
    const auto there = CloudInstallIdentity::loadOrCreate(file, copy);
    ASSERT_TRUE(there.has_value());
    EXPECT_NE(*there, *first) << "a home folder copied to another machine must not write as the same install";

    writeFile(file, "garbage");
    EXPECT_TRUE(CloudInstallIdentity::loadOrCreate(file, here).has_value());
}

TEST_F(FolderCloudDatabaseTest, ThisInstallsDatabaseLivesInTheUsersDataFolderUnderOneStableId)
{
    auto first = FolderCloudDatabase::forThisInstall(kContainer, scheduler, clock);
    auto second = FolderCloudDatabase::forThisInstall(kContainer, scheduler, clock);
    ASSERT_TRUE(first.has_value()) << first.error();
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ((*first)->cloudFolder(), XdgPaths::applicationSupport() / "Cloud");
    EXPECT_EQ((*first)->installID(), (*second)->installID());
    EXPECT_EQ((*first)->containerID(), kContainer);
}

// --- Chunks -------------------------------------------------------------------------------

namespace {

std::string chunkFileOf(const std::string& recordName)
{
    return CloudInstallState::chunkName(CloudInstallState::chunkOf(recordName)) + ".json";
}

/// Every file of an install's: its manifest and its chunks, name → bytes.
std::map<std::string, std::string> filesOf(const fs::path& container, const std::string& install)
{
    std::map<std::string, std::string> files;
    files[install + ".json"] = AtomicFile::read(container / (install + ".json")).value();
    for (const auto& entry : fs::directory_iterator(container / install))
        files[install + "/" + entry.path().filename().string()] = AtomicFile::read(entry.path()).value();
    return files;
}

std::vector<std::string> changedFiles(const std::map<std::string, std::string>& before,
                                      const std::map<std::string, std::string>& after)
{
    std::vector<std::string> changed;
    for (const auto& [name, bytes] : after)
        if (!before.contains(name) || before.at(name) != bytes)
            changed.push_back(name);
    for (const auto& [name, bytes] : before)
        if (!after.contains(name))
            changed.push_back(name + " (removed)");
    return changed;
}

} // namespace

TEST_F(FolderCloudDatabaseTest, AChangeRewritesTheManifestAndOnlyTheChunkOfWhatChanged)
{
    // B is there, so A keeps its deletion marks until B applied them.
    auto b = make(kInstallB);
    ASSERT_TRUE(b->save(todo("from-b", clock.now(), "B's")).has_value());
    auto a = make(kInstallA);
    std::vector<CloudRecord> many;
    for (int i = 0; i < 500; ++i)
        many.push_back(todo("todo-" + std::to_string(i), clock.now(), "To-do " + std::to_string(i)));
    ASSERT_TRUE(a->modify(many).has_value());
    const auto before = filesOf(container(), kInstallA);
    EXPECT_EQ(before.size(), 1 + CloudInstallState::kChunkCount) << "500 names fill every chunk";

    clock.advance(kSecond);
    ASSERT_TRUE(a->save(todo("todo-7", clock.now(), "Edited")).has_value());
    EXPECT_EQ(changedFiles(before, filesOf(container(), kInstallA)),
              (std::vector<std::string>{kInstallA + ".json", kInstallA + "/" + chunkFileOf("todo-7")}));

    // A deletion mark travels in the chunk of the record it deletes.
    const auto edited = filesOf(container(), kInstallA);
    clock.advance(kSecond);
    ASSERT_TRUE(a->remove("todo-9", "SyncedTodo", clock.now()).has_value());
    const auto after = filesOf(container(), kInstallA);
    EXPECT_EQ(changedFiles(edited, after),
              (std::vector<std::string>{kInstallA + ".json", kInstallA + "/" + chunkFileOf("todo-9")}));
    const auto chunk = CloudChunk::decode(after.at(kInstallA + "/" + chunkFileOf("todo-9"))).value();
    EXPECT_TRUE(chunk.records.at("todo-9").record.deleted);

    const auto seen = byName(b->fetchAll().value());
    EXPECT_EQ(seen.size(), 501u);
    EXPECT_EQ(seen.at("todo-7").fields["title"], "Edited");
    EXPECT_TRUE(seen.at("todo-9").deleted);
}

// A sync tool copies file by file: the manifest may come before its chunks,
// or with an older copy of one. What has not arrived is never a deletion,
// and B does not say it has applied A's writes until it has them all.
TEST_F(FolderCloudDatabaseTest, AManifestAheadOfItsChunksMeansTheyHaveNotArrivedYet)
{
    const auto elsewhere = base() / "Elsewhere";
    const auto remoteContainer = elsewhere / kContainer;
    fs::create_directories(elsewhere);
    // B is known there, so A keeps its deletion marks until B applied them.
    auto b = make(kInstallB);
    ASSERT_TRUE(b->save(todo("from-b", clock.now(), "B's")).has_value());
    fs::create_directories(remoteContainer);
    fs::copy_file(b->ownFile(), remoteContainer / (kInstallB + ".json"));
    fs::copy(container() / kInstallB, remoteContainer / kInstallB);
    auto writer = std::make_unique<FolderCloudDatabase>(elsewhere, kContainer, kInstallA, scheduler, clock);
    ASSERT_TRUE(writer->modify({todo("milk", clock.now(), "Milk"), todo("bread", clock.now(), "Bread")}).has_value());
    const auto copy = [&](const std::string& name) {
        fs::create_directories((container() / name).parent_path());
        fs::copy_file(remoteContainer / name, container() / name, fs::copy_options::overwrite_existing);
    };
    copy(kInstallA + "/" + chunkFileOf("milk"));
    copy(kInstallA + ".json");
    ASSERT_NE(chunkFileOf("bread"), chunkFileOf("milk"));

    auto first = b->fetchAll();
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(byName(*first).count("milk"), 1u);
    EXPECT_EQ(byName(*first).count("bread"), 0u) << "its chunk has not arrived";
    EXPECT_FALSE(first->revisions.contains(kInstallA)) << "not all of A's writes are here to acknowledge";

    // Bread is deleted and milk edited; the new chunk of milk arrives first.
    clock.advance(kSecond);
    ASSERT_TRUE(writer->modify({todo("milk", clock.now(), "Oat milk")}).has_value());
    ASSERT_TRUE(writer->remove("bread", "SyncedTodo", clock.now()).has_value());
    copy(kInstallA + "/" + chunkFileOf("milk"));
    auto second = b->fetchAll();
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(byName(*second).at("milk").fields["title"], "Oat milk");
    EXPECT_FALSE(second->revisions.contains(kInstallA)) << "the manifest that lists it is older than the chunk";

    copy(kInstallA + ".json");
    auto third = b->fetchAll();
    ASSERT_TRUE(third.has_value());
    EXPECT_FALSE(third->revisions.contains(kInstallA)) << "bread's chunk is still missing";
    copy(kInstallA + "/" + chunkFileOf("bread"));
    auto fourth = b->fetchAll();
    ASSERT_TRUE(fourth.has_value());
    EXPECT_TRUE(byName(*fourth).at("bread").deleted) << "the mark came with its chunk";
    EXPECT_EQ(fourth->revisions.at(kInstallA), CloudManifest::decode(AtomicFile::read(remoteContainer / (kInstallA + ".json")).value())->revision);
}

TEST_F(FolderCloudDatabaseTest, ChangesAreFetchedOnlyOnceAcknowledgedAndAgainUntilThen)
{
    auto a = make(kInstallA);
    auto b = make(kInstallB);
    ASSERT_TRUE(a->modify({todo("one", clock.now(), "1"), todo("two", clock.now(), "2")}).has_value());
    ASSERT_TRUE(b->save(todo("mine", clock.now(), "B's")).has_value());

    auto first = b->fetchChanges();
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(byName(*first).size(), 3u) << "everything, the first time";
    auto again = b->fetchChanges();
    ASSERT_TRUE(again.has_value());
    EXPECT_EQ(byName(*again).size(), 3u) << "not acknowledged: delivered again";
    b->acknowledge(again->revisions);

    auto quiet = b->fetchChanges();
    ASSERT_TRUE(quiet.has_value());
    EXPECT_TRUE(quiet->records.empty());
    b->acknowledge(quiet->revisions);

    clock.advance(kSecond);
    ASSERT_TRUE(a->save(todo("two", clock.now(), "2 edited")).has_value());
    auto changed = b->fetchChanges();
    ASSERT_TRUE(changed.has_value());
    ASSERT_EQ(byName(*changed).count("two"), 1u);
    EXPECT_EQ(byName(*changed).at("two").fields["title"], "2 edited");
    EXPECT_EQ(byName(*changed).count("mine"), 0u);
    b->acknowledge(changed->revisions);
    EXPECT_TRUE(b->fetchChanges()->records.empty());
}

// This install's file of the first format is read once, then written as
// chunks; another install's file of that format is still read.
TEST_F(FolderCloudDatabaseTest, FilesOfTheFirstFormatAreStillReadAndOursIsSplitAtTheNextWrite)
{
    CloudInstallState old(kInstallA);
    old.apply({todo("kept", clock.now(), "Kept")}, clock.now());
    old.seen[kInstallB] = 7;
    writeFile(container() / (kInstallA + ".json"), old.encode());
    const std::string c = "0C000000-0000-4000-8000-000000000000";
    CloudInstallState other(c);
    other.apply({todo("theirs", clock.now(), "Theirs")}, clock.now());
    writeFile(container() / (c + ".json"), other.encode());

    auto a = make(kInstallA);
    EXPECT_EQ(a->ownVersion("kept"), old.records.at("kept").record.version());
    auto seen = a->fetchAll();
    ASSERT_TRUE(seen.has_value());
    EXPECT_EQ(byName(*seen).count("theirs"), 1u);
    EXPECT_EQ(seen->revisions.at(c), other.revision);

    clock.advance(kSecond);
    ASSERT_TRUE(a->save(todo("new", clock.now(), "New")).has_value());
    const auto manifest = CloudManifest::decode(AtomicFile::read(a->ownFile()).value());
    ASSERT_TRUE(manifest.has_value()) << manifest.error();
    EXPECT_EQ(manifest->seen.at(kInstallB), 7) << "what it had applied is kept";
    auto b = make(kInstallB);
    const auto fromB = byName(b->fetchAll().value());
    EXPECT_EQ(fromB.count("kept"), 1u);
    EXPECT_EQ(fromB.count("new"), 1u);
}

// Chunks come from other computers too: each is held to a state's bounds,
// and an install's chunks together to its record count.
TEST_F(FolderCloudDatabaseTest, AnotherComputersChunkBeyondTheBoundsIsSkippedOncePerVersion)
{
    FolderCloudDatabase::Options options;
    options.maxStateFileBytes = 64 * 1024;
    const std::string c = "0C000000-0000-4000-8000-000000000000";
    CloudInstallState state(c);
    state.apply({todo("fine", clock.now(), "Fine"), todo("deep", clock.now(), "x"),
                 todo("large", clock.now(), std::string(options.maxStateFileBytes, 'x'))},
                clock.now());
    CloudManifest manifest{c, state.revision, {}, {}};
    for (const auto& name : {"fine", "deep", "large"}) {
        const auto chunk = CloudInstallState::chunkOf(name);
        manifest.chunks[chunk] = state.revision;
        writeFile(container() / c / (CloudInstallState::chunkName(chunk) + ".json"),
                  CloudChunk::of(state, chunk, {name}).encode());
    }
    ASSERT_EQ(manifest.chunks.size(), 3u) << "the names must fall in three chunks";
    auto deep = CloudChunk::of(state, CloudInstallState::chunkOf("deep"), {"deep"}).encode();
    deep.replace(deep.find(R"("x")"), 3, std::string(1'000, '[') + std::string(1'000, ']'));
    writeFile(container() / c / chunkFileOf("deep"), deep);
    writeFile(container() / (c + ".json"), manifest.encode());

    auto a = make(kInstallA, options);
    auto fetched = a->fetchAll();
    ASSERT_TRUE(fetched.has_value());
    const auto records = byName(*fetched);
    EXPECT_EQ(records.count("fine"), 1u) << "the good chunk is still read";
    EXPECT_EQ(records.count("deep"), 0u);
    EXPECT_EQ(records.count("large"), 0u);
    EXPECT_FALSE(fetched->revisions.contains(c));
    const auto count = [&](const std::string& fragment) {
        return std::count_if(traces.begin(), traces.end(),
                             [&](const std::string& line) { return line.find(fragment) != std::string::npos; });
    };
    EXPECT_EQ(count("skipped " + c + "/" + chunkFileOf("deep")), 1);
    EXPECT_TRUE(traced("nested deeper than 64 levels"));
    EXPECT_EQ(count("skipped " + c + "/" + chunkFileOf("large")), 1);
    ASSERT_TRUE(a->fetchAll().has_value());
    EXPECT_EQ(count("skipped " + c + "/"), 2) << "an unchanged chunk is reported once";

    // Many chunks of records each within bounds, too many together.
    const std::string d = "0D000000-0000-4000-8000-000000000000";
    CloudManifest crowded{d, 1, {}, {}};
    const std::size_t perChunk = CloudInstallState::kMaxRecords / 2 + 1;
    for (std::size_t chunk = 0; chunk < 2; ++chunk) {
        CloudChunk file{d, chunk, 1, {}};
        for (std::size_t i = 0; i < perChunk; ++i) {
            auto record = todo("r" + std::to_string(chunk) + "-" + std::to_string(i), clock.now(), "");
            record.writer = d;
            file.records.emplace(record.recordName, CloudInstallState::Entry{record, 1});
        }
        crowded.chunks[chunk] = 1;
        writeFile(container() / d / (CloudInstallState::chunkName(chunk) + ".json"), file.encode());
    }
    writeFile(container() / (d + ".json"), crowded.encode());
    FolderCloudDatabase::Options roomy;
    roomy.maxStateFileBytes = 64 << 20;
    auto e = make("0E000000-0000-4000-8000-000000000000", roomy);
    auto all = e->fetchAll();
    ASSERT_TRUE(all.has_value());
    EXPECT_LE(all->records.size(), CloudInstallState::kMaxRecords + 1);
    EXPECT_TRUE(traced("would hold more than"));
    EXPECT_FALSE(all->revisions.contains(d));
}
