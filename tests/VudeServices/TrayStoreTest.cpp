#include "VudeServices/TrayStore.h"

#include "ImageFixtures.h"
#include "Platform/Core/AtomicFile.h"
#include "Platform/Core/FileBookmark.h"
#include "Platform/Core/XdgPaths.h"
#include "Platform/Desktop/FakePasteboard.h"
#include "Platform/Images/ImageCodec.h"
#include "Platform/Shell/UrlOpener.h"
#include "TestSupport.h"

#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string contentOf(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A name no other test (they share the Trash) uses.
std::string uniqueName(const std::string& stem, const std::string& extension)
{
    return stem + "-" + Uuid::random().toString() + extension;
}

fs::path trashFiles()
{
    return fs::path(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation).toStdString()) / "Trash"
           / "files";
}

bool isInTrash(const std::string& name)
{
    std::error_code error;
    return fs::exists(trashFiles() / name, error);
}

// A tray in a folder of its own, over a manual clock, a fake thumbnail
// generator, a recording icon source and link opener. Sources to add are
// made in another folder of the same file system.
class TrayStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.isValid());
        fs::create_directories(sources());
        // The Trash is made inside the data folder, which the tray's own
        // folder always lies in outside tests.
        fs::create_directories(trashFiles().parent_path().parent_path());
    }

    fs::path base() const { return m_folder.path().toStdString(); }
    fs::path support() const { return base() / "support"; }
    fs::path sources() const { return base() / "sources"; }
    fs::path trayRoot() const { return support() / "Vude" / "Tray"; }
    fs::path index() const { return trayRoot() / "index.json"; }

    fs::path makeFile(const std::string& name, const std::string& content = "content")
    {
        const fs::path path = sources() / name;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }

    TrayStore& store()
    {
        if (!m_store) {
            TrayStore::Options options;
            options.applicationSupport = support();
            options.clock = &m_clock;
            if (!m_realThumbnails)
                options.thumbnailGenerator = m_generator;
            options.typeIcon = [this](const std::string& type, int pixels) -> std::optional<QImage> {
                m_iconRequests.emplace_back(type, pixels);
                return m_icon;
            };
            options.urlOpener = &m_opener;
            options.moveToTrash = m_moveToTrash;
            m_store = std::make_unique<TrayStore>("Vude", options);
            QObject::connect(m_store.get(), &TrayStore::itemsChanged, [this] { ++m_itemsChanged; });
            m_store->setOnChange([this](const std::vector<TrayItem>&) { ++m_onChange; });
        }
        return *m_store;
    }

    void reopen()
    {
        m_store.reset();
        store();
    }

    // Adds and waits for the answer, as the shell's callback would get it.
    std::vector<TrayItem> add(const std::vector<fs::path>& urls, bool move = false,
                              std::chrono::milliseconds timeout = 5s)
    {
        std::optional<std::vector<TrayItem>> added;
        store().add(urls, move, [&](const std::vector<TrayItem>& items) { added = items; });
        EXPECT_TRUE(testsupport::waitUntil([&] { return added.has_value(); }, timeout));
        return added.value_or(std::vector<TrayItem>());
    }

    std::vector<TrayItem> addFromPasteboard()
    {
        std::optional<std::vector<TrayItem>> added;
        store().addFromPasteboard(m_pasteboard, [&](const std::vector<TrayItem>& items) { added = items; });
        EXPECT_TRUE(testsupport::waitUntil([&] { return added.has_value(); }));
        return added.value_or(std::vector<TrayItem>());
    }

    std::optional<QImage> thumbnail(const TrayItem& item)
    {
        QObject context;
        std::optional<std::optional<QImage>> result;
        store().thumbnail(item, 56, &context, [&](std::optional<QImage> image) { result = std::move(image); });
        EXPECT_TRUE(testsupport::waitUntil([&] { return result.has_value(); }));
        return result.value_or(std::nullopt);
    }

    std::vector<TrayItem> storedIndex() const
    {
        const auto bytes = AtomicFile::read(index());
        EXPECT_TRUE(bytes) << bytes.error();
        const auto items = decodeTrayIndex(bytes.value_or(""));
        EXPECT_TRUE(items);
        return items.value_or(std::vector<TrayItem>());
    }

    // The item folders in the tray.
    std::set<std::string> itemFolders() const
    {
        std::set<std::string> names;
        std::error_code error;
        for (fs::directory_iterator it(trayRoot(), error), end; !error && it != end; it.increment(error))
            if (it->is_directory())
                names.insert(it->path().filename().string());
        return names;
    }

    QTemporaryDir m_folder;
    ManualClock m_clock{kReferenceDate + std::chrono::microseconds(745'000'000'900'000)};
    std::shared_ptr<FakeThumbnailGenerator> m_generator = std::make_shared<FakeThumbnailGenerator>();
    bool m_realThumbnails = false;
    std::optional<QImage> m_icon;
    std::vector<std::pair<std::string, int>> m_iconRequests;
    RecordingUrlOpener m_opener;
    Trash::Mover m_moveToTrash;
    FakePasteboard m_pasteboard;
    std::unique_ptr<TrayStore> m_store;
    int m_itemsChanged = 0;
    int m_onChange = 0;
};

TEST_F(TrayStoreTest, CopiesAFileIntoAFolderOfItsOwn)
{
    const fs::path source = makeFile("Report.pdf", "%PDF-1.4\n%%EOF\n");
    const auto added = add({source});
    ASSERT_EQ(added.size(), 1u);
    const TrayItem& item = added.front();

    EXPECT_EQ(item.displayName, "Report.pdf");
    EXPECT_EQ(item.storedPath, (trayRoot() / item.id.toString() / "Report.pdf").string());
    EXPECT_EQ(item.originalPath, source.string());
    ASSERT_TRUE(item.bookmark);
    EXPECT_EQ(FileBookmark::resolve(*item.bookmark), fs::path(item.storedPath)) << "the bookmark is of the copy";
    EXPECT_EQ(item.utTypeIdentifier, "application/pdf");
    EXPECT_EQ(item.byteSize, 15);
    EXPECT_EQ(item.addedAt, m_clock.now());
    EXPECT_EQ(item.stackID, std::nullopt) << "a single file is no stack";
    EXPECT_FALSE(item.isDirectory);
    EXPECT_EQ(item.thumbnailPath, std::nullopt);

    EXPECT_EQ(contentOf(item.storedPath), contentOf(source));
    EXPECT_TRUE(fs::exists(source));
    EXPECT_EQ(store().items(), added);
    EXPECT_EQ(storedIndex(), added);
    EXPECT_EQ(m_itemsChanged, 1);
    EXPECT_EQ(m_onChange, 1);
}

TEST_F(TrayStoreTest, SeveralFilesShareAStackAtTheFrontInTheirOrder)
{
    const auto earlier = add({makeFile("earlier.txt")});
    const fs::path pipe = sources() / "pipe";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const auto added = add({makeFile("one.txt"), pipe, makeFile("two.txt")});

    ASSERT_EQ(added.size(), 2u) << "the FIFO is skipped";
    EXPECT_EQ(added[0].displayName, "one.txt");
    EXPECT_EQ(added[1].displayName, "two.txt");
    ASSERT_TRUE(added[0].stackID);
    EXPECT_EQ(added[0].stackID, added[1].stackID);
    const std::vector<TrayItem> expected{added[0], added[1], earlier[0]};
    EXPECT_EQ(store().items(), expected);

    ASSERT_EQ(store().lastFailures().size(), 1u);
    EXPECT_EQ(store().lastFailures()[0].url, pipe);
    EXPECT_NE(store().lastFailures()[0].message.find("named pipe"), std::string::npos)
        << store().lastFailures()[0].message;
    EXPECT_EQ(itemFolders().size(), 3u) << "nothing is left behind for the FIFO";
}

TEST_F(TrayStoreTest, TheSameFileTwiceMakesTwoItemsWithTwoCopies)
{
    const fs::path source = makeFile("same.txt");
    const auto first = add({source});
    const auto second = add({source});
    ASSERT_EQ(first.size(), 1u);
    ASSERT_EQ(second.size(), 1u);
    EXPECT_NE(first[0].id, second[0].id);
    EXPECT_NE(first[0].storedPath, second[0].storedPath);
    EXPECT_TRUE(fs::exists(first[0].storedPath));
    EXPECT_TRUE(fs::exists(second[0].storedPath));
}

TEST_F(TrayStoreTest, MovingLeavesNoOriginal)
{
    const fs::path source = makeFile("draft.txt", "only copy");
    const auto added = add({source}, true);
    ASSERT_EQ(added.size(), 1u);
    EXPECT_EQ(added[0].originalPath, std::nullopt);
    EXPECT_FALSE(fs::exists(source));
    EXPECT_EQ(contentOf(added[0].storedPath), "only copy");
}

TEST_F(TrayStoreTest, AnAddThatTakesNothingChangesAndSavesNothing)
{
    add({makeFile("kept.txt")});
    const std::string before = contentOf(index());
    const int changes = m_itemsChanged;
    const int saves = m_onChange;

    const fs::path pipe = sources() / "pipe";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    struct Row {
        std::vector<fs::path> urls;
        const char* why;
    } rows[] = {
        {{}, "no URLs"},
        {{sources() / "missing.txt"}, "a file that is not there"},
        {{pipe}, "a FIFO"},
        {{"/proc/self/mem"}, "a file that cannot be read"},
        {{"/"}, "no name to keep it under"},
        {{trayRoot().parent_path()}, "a folder that holds the tray"},
    };
    for (const auto& row : rows) {
        EXPECT_TRUE(add(row.urls).empty()) << row.why;
        EXPECT_EQ(store().items().size(), 1u) << row.why;
    }
    EXPECT_EQ(contentOf(index()), before);
    EXPECT_EQ(m_itemsChanged, changes);
    EXPECT_EQ(m_onChange, saves);
    EXPECT_EQ(itemFolders().size(), 1u) << "failed copies leave no folder behind";
}

TEST_F(TrayStoreTest, KeepsFiftyAndEvictsTheOldestTheMovedOneToTheTrash)
{
    const std::string movedName = uniqueName("moved", ".txt");
    const fs::path copiedSource = makeFile("copied.txt");
    const auto moved = add({makeFile(movedName, "the only copy")}, true);
    const auto copied = add({copiedSource});
    const fs::path filler = makeFile("filler.txt");
    for (int i = 0; i < 50; ++i)
        store().add({filler}, false);
    store().waitUntilIdle();

    ASSERT_EQ(store().items().size(), 50u);
    for (const auto& item : store().items()) {
        EXPECT_NE(item.id, moved[0].id);
        EXPECT_NE(item.id, copied[0].id);
    }
    EXPECT_EQ(storedIndex(), store().items());
    EXPECT_FALSE(fs::exists(fs::path(copied[0].storedPath).parent_path())) << "the copy's folder is gone";
    EXPECT_FALSE(fs::exists(fs::path(moved[0].storedPath).parent_path()));
    EXPECT_TRUE(fs::exists(copiedSource)) << "the original of a copy is untouched";
    ASSERT_TRUE(isInTrash(movedName)) << "the user's only copy is never deleted";
    EXPECT_EQ(contentOf(trashFiles() / movedName), "the only copy");
    EXPECT_EQ(itemFolders().size(), 50u);
}

TEST_F(TrayStoreTest, RemovingAMovedItemTrashesItsFileOrKeepsIt)
{
    const std::string name = uniqueName("moved", ".txt");
    const auto trashed = add({makeFile(name)}, true);
    store().remove(trashed[0]);
    store().waitUntilIdle();
    EXPECT_TRUE(isInTrash(name));
    EXPECT_FALSE(fs::exists(fs::path(trashed[0].storedPath).parent_path()));

    // Without a Trash to take it, the file stays in the tray folder.
    m_moveToTrash = [](const fs::path&) { return std::nullopt; };
    reopen();
    const auto kept = add({makeFile("kept.txt")}, true);
    store().removeAll();
    store().waitUntilIdle();
    EXPECT_TRUE(store().items().empty());
    EXPECT_TRUE(fs::exists(kept[0].storedPath));
}

// With a data folder it cannot use, QFile::moveToTrash made "files/" and
// "info/" in the working folder, moved the file there and said it had
// trashed it.
TEST_F(TrayStoreTest, AFileTrashedAnywhereButTheUsersTrashStaysInTheTray)
{
    const fs::path elsewhere = base() / "working";
    m_moveToTrash = [elsewhere](const fs::path& path) -> std::optional<fs::path> {
        fs::create_directories(elsewhere / "files");
        fs::create_directories(elsewhere / "info");
        const fs::path landed = elsewhere / "files" / path.filename();
        fs::rename(path, landed);
        std::ofstream(elsewhere / "info" / (path.filename().string() + ".trashinfo")) << "[Trash Info]\n";
        return landed;
    };
    const auto kept = add({makeFile("only-copy.txt", "the only copy")}, true);
    store().removeAll();
    store().waitUntilIdle();

    EXPECT_TRUE(store().items().empty());
    EXPECT_EQ(contentOf(kept[0].storedPath), "the only copy") << "back in the tray folder";
    EXPECT_FALSE(fs::exists(elsewhere / "files" / "only-copy.txt"));
    EXPECT_FALSE(fs::exists(elsewhere / "info" / "only-copy.txt.trashinfo")) << "no record of a file not there";
}

TEST_F(TrayStoreTest, AFolderASetAsideIndexNamesIsNeverDeleted)
{
    const auto parked = add({makeFile("parked.txt")});
    const auto other = add({makeFile("other.txt")});
    // An index set aside before names the first item, and only it.
    const std::string setAside = index().string() + ".unreadable";
    std::string text = encodeTrayIndex(parked);
    text.erase(text.find("\"childCount\""), 1);
    ASSERT_TRUE(AtomicFile::write(setAside, text));

    store().removeAll();
    store().waitUntilIdle();
    EXPECT_TRUE(store().items().empty());
    EXPECT_TRUE(fs::exists(parked[0].storedPath)) << "named by the index set aside";
    EXPECT_FALSE(fs::exists(fs::path(other[0].storedPath).parent_path()));
    EXPECT_EQ(contentOf(setAside), text);
}

TEST_F(TrayStoreTest, RemovalsSaveAtOnceAndDeleteFoldersOnTheQueue)
{
    const auto first = add({makeFile("a.txt")});
    const auto second = add({makeFile("b.txt")});
    const auto third = add({makeFile("folder/c.txt")});
    const auto folder = add({sources() / "folder"});

    store().remove(second[0]);
    EXPECT_EQ(storedIndex().size(), 3u) << "saved without waiting for the deletion";
    store().waitUntilIdle();
    EXPECT_FALSE(fs::exists(fs::path(second[0].storedPath).parent_path()));

    // An item no longer listed: the list stays, its folder goes, the index
    // is written again.
    const int changes = m_itemsChanged;
    const int saves = m_onChange;
    fs::create_directories(fs::path(second[0].storedPath).parent_path());
    store().remove(second[0]);
    store().waitUntilIdle();
    EXPECT_EQ(store().items().size(), 3u);
    EXPECT_FALSE(fs::exists(fs::path(second[0].storedPath).parent_path()));
    EXPECT_EQ(m_itemsChanged, changes) << "an equal list is no change";
    EXPECT_EQ(m_onChange, saves + 1) << "but it is saved";

    store().removeAll();
    EXPECT_TRUE(store().items().empty());
    store().waitUntilIdle();
    EXPECT_TRUE(itemFolders().empty());
    EXPECT_TRUE(fs::is_directory(trayRoot()));
    EXPECT_EQ(contentOf(index()), "[]");
    EXPECT_TRUE(fs::exists(sources() / "folder" / "c.txt"));
}

// A file another program is still moving out of the tray must stay where it
// is: only the entry goes.
TEST_F(TrayStoreTest, RemovingAnEntryOnlyLeavesTheStoredFileAlone)
{
    const std::string name = uniqueName("moved", ".txt");
    const auto moved = add({makeFile(name, "the only copy")}, true);
    const auto kept = add({makeFile("kept.txt")});

    store().removeEntry(moved[0]);
    EXPECT_EQ(storedIndex(), kept) << "saved at once";
    store().waitUntilIdle();
    EXPECT_EQ(store().items(), kept);
    EXPECT_EQ(contentOf(moved[0].storedPath), "the only copy");
    EXPECT_FALSE(isInTrash(name));

    const int changes = m_itemsChanged;
    store().removeEntry(moved[0]);
    EXPECT_EQ(m_itemsChanged, changes) << "an entry no longer listed changes nothing";
}

// A drag that moved an item out leaves only its entry out: what becomes of
// the stored copy is known only later, at the next sweep (when the tray is
// shown) or load.
TEST_F(TrayStoreTest, TheSweepSettlesHandedOutItemsByWhetherTheirCopyStayed)
{
    struct Row {
        const char* why;
        bool receiverTookTheFile;
        bool byReopening;
    };
    const Row rows[] = {
        {"moved away: its folder goes, its entry stays out", true, false},
        {"copied or refused: listed again, in its place by date", false, false},
        {"the same at the next start", true, true},
        {"the same at the next start", false, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        store().removeAll();
        store().waitUntilIdle();
        const auto older = add({makeFile("older.txt")});
        m_clock.advance(1s);
        const auto handed = add({makeFile("handed.txt", "the only copy")}, true);
        m_clock.advance(1s);
        const auto newer = add({makeFile("newer.txt")});
        const fs::path folder = fs::path(handed[0].storedPath).parent_path();

        store().removeEntry(handed[0]);
        EXPECT_EQ(store().items(), (std::vector<TrayItem>{newer[0], older[0]}));
        EXPECT_EQ(store().handedOut(), handed);
        EXPECT_TRUE(fs::exists(trayRoot() / "handedOut.json")) << "noted on disk, for a crash";
        if (row.receiverTookTheFile)
            fs::rename(handed[0].storedPath, sources() / "received.txt");

        if (row.byReopening)
            reopen();
        else
            store().sweep();
        store().waitUntilIdle();
        EXPECT_TRUE(store().handedOut().empty());
        EXPECT_FALSE(fs::exists(trayRoot() / "handedOut.json"));
        if (row.receiverTookTheFile) {
            EXPECT_EQ(store().items(), (std::vector<TrayItem>{newer[0], older[0]}));
            EXPECT_FALSE(fs::exists(folder));
            EXPECT_EQ(contentOf(sources() / "received.txt"), "the only copy");
        } else {
            EXPECT_EQ(store().items(), (std::vector<TrayItem>{newer[0], handed[0], older[0]}));
            EXPECT_EQ(contentOf(handed[0].storedPath), "the only copy");
        }
        EXPECT_EQ(storedIndex(), store().items());

        // Swept once, the next sweep changes nothing.
        const std::vector<TrayItem> settled = store().items();
        store().sweep();
        EXPECT_EQ(store().items(), settled);
    }
}

TEST_F(TrayStoreTest, TakesAFolderWithItsCountAndVisibleSize)
{
    makeFile("Project/a.txt", "12345");
    makeFile("Project/b.txt", "1234567");
    makeFile("Project/sub/c.txt", "12345678901");
    makeFile("Project/.hidden", std::string(100, 'h'));
    const auto added = add({sources() / "Project"});
    ASSERT_EQ(added.size(), 1u);
    const TrayItem& item = added[0];
    EXPECT_TRUE(item.isDirectory);
    EXPECT_EQ(item.childCount, 4) << "the hidden file counts as an entry";
    EXPECT_EQ(item.byteSize, 23) << "but not towards the size";
    EXPECT_EQ(item.utTypeIdentifier, "inode/directory");
    EXPECT_EQ(item.subtitle(), "4 items \xC2\xB7 23 bytes");
    EXPECT_EQ(contentOf(fs::path(item.storedPath) / "sub" / "c.txt"), "12345678901");
}

TEST_F(TrayStoreTest, AFolderOfSixThousandFilesIsMeasuredOverItsFirstFiveThousand)
{
    const fs::path big = sources() / "Big";
    fs::create_directories(big);
    for (int i = 0; i < 6000; ++i)
        std::ofstream(big / ("f" + std::to_string(i))) << "abc";
    // Making 6000 files takes a while on a busy disk.
    const auto added = add({big}, false, 60s);
    ASSERT_EQ(added.size(), 1u);
    EXPECT_EQ(added[0].childCount, 6000);
    EXPECT_EQ(added[0].byteSize, 5000 * 3);
}

TEST_F(TrayStoreTest, MeasuringSkipsHiddenTreesAndFollowsNoLinks)
{
    makeFile("m/visible.txt", "1234");
    makeFile("m/.git/objects/pack", std::string(1000, 'x'));
    makeFile("m/deep/er/file", "12");
    fs::create_symlink(sources() / "m" / ".git" / "objects" / "pack", sources() / "m" / "link");
    const TrayMeasurement all = TrayStore::measure(sources() / "m", 5000);
    EXPECT_EQ(all, (TrayMeasurement{6, 4}));
    // visible.txt, deep, er, file, link in some order: a limit of 2 sees two.
    EXPECT_LE(TrayStore::measure(sources() / "m", 2).size, 6);
    EXPECT_EQ(TrayStore::measure(sources() / "m", 0), (TrayMeasurement{0, 4}));
    EXPECT_EQ(TrayStore::measure(sources() / "missing", 5000), (TrayMeasurement{0, 0}));
}

TEST_F(TrayStoreTest, LoadingDropsItemsWhoseCopiesVanished)
{
    const auto gone = add({makeFile("gone.txt")});
    const auto kept = add({makeFile("kept.txt")});
    fs::remove(gone[0].storedPath);
    reopen();
    EXPECT_EQ(store().items(), kept);
    EXPECT_EQ(storedIndex(), kept) << "the index is written again at once";
}

TEST_F(TrayStoreTest, AnUnreadableIndexIsSetAsideNeverOverwritten)
{
    const auto first = add({makeFile("a.txt")});
    m_store.reset();
    // An element without "childCount" fails the whole file.
    std::string text = encodeTrayIndex(first);
    const std::string key = ",\"childCount\":0";
    text.erase(text.find(key), key.size());
    ASSERT_TRUE(AtomicFile::write(index(), text));

    store();
    EXPECT_TRUE(store().items().empty());
    EXPECT_EQ(store().setAsideIndexURL(), fs::path(index().string() + ".unreadable"));
    EXPECT_EQ(contentOf(store().setAsideIndexURL()), text) << "kept as it was";
    EXPECT_TRUE(fs::exists(first[0].storedPath)) << "its items' folders stay";

    const auto next = add({makeFile("b.txt")});
    EXPECT_EQ(storedIndex(), next);
    EXPECT_EQ(contentOf(store().setAsideIndexURL()), text);

    // A second bad index does not replace the first one set aside.
    m_store.reset();
    ASSERT_TRUE(AtomicFile::write(index(), "not json"));
    store();
    EXPECT_EQ(store().setAsideIndexURL(), fs::path(index().string() + ".unreadable-2"));
    EXPECT_EQ(contentOf(index().string() + ".unreadable"), text);
}

TEST_F(TrayStoreTest, AnIndexEditedByHandReachesNothingOutsideTheTray)
{
    const fs::path victim = makeFile("victim/precious.txt", "keep me");
    TrayItem outside;
    outside.id = Uuid::random();
    outside.displayName = "precious.txt";
    outside.storedPath = victim.string();
    outside.utTypeIdentifier = "text/plain";
    outside.addedAt = m_clock.now();
    TrayItem escaping = outside;
    escaping.id = Uuid::random();
    escaping.storedPath = (trayRoot() / escaping.id.toString() / ".." / ".." / ".." / ".." / "sources" / "victim").string();
    fs::create_directories(trayRoot() / escaping.id.toString());
    ASSERT_TRUE(AtomicFile::write(index(), encodeTrayIndex({outside, escaping})));

    store();
    ASSERT_EQ(store().items().size(), 2u);
    EXPECT_TRUE(thumbnail(store().items()[0]) == m_icon);
    store().removeAll();
    store().waitUntilIdle();
    EXPECT_EQ(contentOf(victim), "keep me");
    EXPECT_FALSE(fs::exists(victim.parent_path() / "thumb.png"));
    EXPECT_FALSE(isInTrash("precious.txt"));
}

// An item folder that is a link has the right name but lies elsewhere: the
// tray neither trashes nor removes what it leads to, nor caches into it.
TEST_F(TrayStoreTest, AnItemFolderThatIsALinkIsNeverFollowedOutOfTheTray)
{
    const std::string name = uniqueName("precious", ".txt");
    const fs::path victim = makeFile("victim/" + name, "keep me");
    const auto linkedItem = [&] {
        TrayItem item;
        item.id = Uuid::random();
        item.displayName = name;
        item.storedPath = (trayRoot() / item.id.toString() / name).string();
        item.utTypeIdentifier = "text/plain";
        item.addedAt = m_clock.now();
        fs::create_directories(trayRoot());
        fs::create_directory_symlink(victim.parent_path(), trayRoot() / item.id.toString());
        return item;
    };
    const TrayItem removed = linkedItem();
    const TrayItem cleared = linkedItem();
    const TrayItem evicted = linkedItem();
    ASSERT_TRUE(AtomicFile::write(index(), encodeTrayIndex({removed, cleared, evicted})));
    m_generator->setResult(fixtures::quadrants(20, 10));

    store();
    ASSERT_EQ(store().items().size(), 3u) << "the copy is there, through the link";
    EXPECT_TRUE(thumbnail(store().items()[0]).has_value());
    store().remove(removed);
    store().setMaxItems(2);
    add({makeFile("newer.txt")}); // evicts the oldest
    store().removeAll();
    store().waitUntilIdle();

    EXPECT_EQ(contentOf(victim), "keep me");
    EXPECT_FALSE(isInTrash(name));
    EXPECT_EQ(testsupport::folderEntries(victim.parent_path()), std::vector<std::string>{name})
        << "no thumbnail cached outside either";
    for (const auto& item : {removed, cleared, evicted})
        EXPECT_FALSE(fs::exists(fs::symlink_status(trayRoot() / item.id.toString())))
            << "the link itself, in the tray's folder, goes";
}

TEST_F(TrayStoreTest, AddsFinishedWhenTheStoreGoesAreKept)
{
    store().add({makeFile("late.txt")}, true);
    m_store.reset();
    store();
    ASSERT_EQ(store().items().size(), 1u);
    EXPECT_EQ(store().items()[0].displayName, "late.txt");
}

TEST_F(TrayStoreTest, AThumbnailIsMadeOnceThenReadFromTheCache)
{
    m_generator->setResult(fixtures::quadrants(20, 10));
    const auto added = add({makeFile("photo.jpg")});
    const auto first = thumbnail(added[0]);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->size(), QSize(20, 10));
    const fs::path cache = fs::path(added[0].storedPath).parent_path() / "thumb.png";
    ASSERT_TRUE(fs::exists(cache));

    const auto second = thumbnail(added[0]);
    EXPECT_EQ(m_generator->callCount(), 1) << "the second call reads thumb.png";
    ASSERT_TRUE(second);
    EXPECT_EQ(second->size(), QSize(20, 10));
    EXPECT_EQ(second->pixelColor(2, 2), fixtures::topLeft);
    EXPECT_TRUE(m_iconRequests.empty());
}

TEST_F(TrayStoreTest, WithoutAThumbnailTheTypesIconIsGivenAndNothingWritten)
{
    m_icon = fixtures::quadrants(4, 4);
    const auto added = add({makeFile("notes.txt", "plain words")});
    const auto image = thumbnail(added[0]);
    EXPECT_EQ(image, m_icon);
    ASSERT_EQ(m_iconRequests.size(), 1u);
    EXPECT_EQ(m_iconRequests[0], (std::pair<std::string, int>{"text/plain", 112}));
    EXPECT_FALSE(fs::exists(fs::path(added[0].storedPath).parent_path() / "thumb.png"));
    EXPECT_EQ(m_generator->callCount(), 1);

    m_icon.reset();
    EXPECT_EQ(thumbnail(added[0]), std::nullopt) << "no icon either";
    EXPECT_EQ(m_generator->callCount(), 2) << "a failure is not cached";
}

TEST_F(TrayStoreTest, AFileNamedLikeTheCacheIsNeverTakenForItNorReplaced)
{
    const std::string png = fixtures::encoded(fixtures::quadrants(8, 8), "PNG");
    m_generator->setResult(fixtures::quadrants(30, 30));
    const auto added = add({makeFile("thumb.png", png)});
    EXPECT_EQ(thumbnail(added[0])->size(), QSize(30, 30));
    EXPECT_EQ(thumbnail(added[0])->size(), QSize(30, 30));
    EXPECT_EQ(m_generator->callCount(), 2) << "no cache for this item";
    EXPECT_EQ(contentOf(added[0].storedPath), png);
}

TEST_F(TrayStoreTest, ThumbnailsOfImagesAreDrawnAtTwicePointSize)
{
    m_realThumbnails = true;
    const auto added = add({makeFile("wide.png", fixtures::encoded(fixtures::quadrants(448, 224), "PNG"))});
    const auto image = thumbnail(added[0]);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), QSize(112, 56)) << "56 points at scale 2";
    const auto cached = ImageCodec::decodeFile(fs::path(added[0].storedPath).parent_path() / "thumb.png");
    ASSERT_TRUE(cached);
    EXPECT_EQ(cached->image.size(), QSize(112, 56));
}

TEST_F(TrayStoreTest, QuickLookOpensThePrivateCopy)
{
    const auto added = add({makeFile("Report 2024.pdf")});
    store().quickLook(added[0]);
    ASSERT_EQ(m_opener.opened.size(), 1u);
    EXPECT_EQ(m_opener.opened[0], QUrl::fromLocalFile(QString::fromStdString(added[0].storedPath)));
}

TEST_F(TrayStoreTest, PastedFilesAreCopiedAndTheRestIgnored)
{
    const fs::path a = makeFile("a.txt");
    const fs::path b = makeFile("b c.txt");
    m_pasteboard.copy({{"text/uri-list", PasteboardContent::fileURL(a) + "\r\n" + PasteboardContent::fileURL(b)},
                       {"text/plain", "some text"}});
    const auto added = addFromPasteboard();
    ASSERT_EQ(added.size(), 2u);
    EXPECT_EQ(added[0].originalPath, a.string());
    EXPECT_EQ(added[1].originalPath, b.string());
    EXPECT_EQ(store().items().size(), 2u) << "the text is not tried";
    EXPECT_TRUE(fs::exists(a));
}

TEST_F(TrayStoreTest, PastedContentBecomesAFileMovedIn)
{
    // 745000000.9 s after 2001 is 1723307200.9 s after 1970.
    const std::string seconds = "1723307200";
    const auto staged = [] {
        std::vector<std::string> names;
        const auto runtime = XdgPaths::privateRuntimeDirectory();
        std::error_code error;
        for (fs::directory_iterator it(runtime.value_or(fs::path()), error), end; !error && it != end;
             it.increment(error))
            if (it->path().filename().string().starts_with("tray-paste-"))
                names.push_back(it->path().filename().string());
        return names;
    };
    struct Row {
        std::vector<FakePasteboard::Item> contents;
        std::string name;
        std::string content;
        const char* why;
    } rows[] = {
        {{{"image/png", fixtures::encoded(fixtures::quadrants(16, 8), "PNG")}}, "Pasted " + seconds + ".png", "",
         "an image"},
        {{{"image/bmp", fixtures::encoded(fixtures::quadrants(16, 8), "BMP")}}, "Pasted " + seconds + ".png", "",
         "an image of another format is saved as PNG"},
        {{{"text/plain;charset=utf-8", "Hello\nworld"}}, "Pasted " + seconds + ".txt", "Hello\nworld", "a text"},
        {{{"text/plain", "   "}}, "Pasted " + seconds + ".txt", "   ", "spaces are text, untrimmed"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        m_pasteboard.copy(row.contents);
        const auto added = addFromPasteboard();
        ASSERT_EQ(added.size(), 1u);
        EXPECT_EQ(added[0].displayName, row.name);
        EXPECT_EQ(added[0].originalPath, std::nullopt) << "moved in";
        if (row.content.empty()) {
            const auto decoded = ImageCodec::decodeFile(added[0].storedPath);
            ASSERT_TRUE(decoded);
            EXPECT_EQ(decoded->format, ImageFormat::png);
            EXPECT_EQ(decoded->image.size(), QSize(16, 8));
            EXPECT_EQ(added[0].utTypeIdentifier, "image/png");
        } else {
            EXPECT_EQ(contentOf(added[0].storedPath), row.content);
        }
        EXPECT_TRUE(staged().empty()) << "the temporary file is gone";
    }
}

TEST_F(TrayStoreTest, PastingWhatCannotBeCopiedAddsNothing)
{
    struct Row {
        std::vector<FakePasteboard::Item> contents;
        const char* why;
    } rows[] = {
        {{{"text/uri-list", "https://example.com/page\r\n"}, {"text/plain", "https://example.com/page"}},
         "a web link: neither image nor text is tried"},
        {{{"text/plain", " https://example.com/page\n"}}, "a text that is one web link"},
        {{{"text/plain", ""}}, "an empty text"},
        {{{"application/x-other", "bytes"}}, "nothing the tray takes"},
        {{{"image/png", "not an image"}}, "an image that does not decode"},
        {{}, "an empty pasteboard"},
    };
    for (const auto& row : rows) {
        m_pasteboard.copy(row.contents);
        EXPECT_TRUE(addFromPasteboard().empty()) << row.why;
    }
    EXPECT_TRUE(store().items().empty());
    EXPECT_FALSE(fs::exists(index()));

    m_pasteboard.setUnresponsive(true);
    m_pasteboard.copyText("text");
    EXPECT_TRUE(addFromPasteboard().empty()) << "an owner that does not answer";
}

} // namespace
