#include "VudeServices/ClipboardService.h"

#include "ImageFixtures.h"
#include "Platform/Desktop/FakePasteboard.h"
#include "Platform/Images/ImageCodec.h"
#include "TestSupport.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using Item = FakePasteboard::Item;
using Kind = Clip::Kind;

// A clipboard history over a fake pasteboard, in a folder of its own.
class ClipboardServiceTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_root.isValid()); }

    fs::path root() const { return fs::path(m_root.path().toStdString()); }
    fs::path container() const { return root() / "Vude"; }
    fs::path storeFile() const { return container() / "clipboard.json"; }
    fs::path mediaFolder() const { return container() / "Clipboard"; }

    std::unique_ptr<ClipboardService> makeService()
    {
        ClipboardService::Options options;
        options.clock = &m_clock;
        options.frontmostApplication = &m_frontmost;
        options.applicationSupport = root();
        // Writes wait until the test runs them, as on a busy worker.
        options.writeExecutor = [this](std::function<void()> job) { m_writeJobs.push_back(std::move(job)); };
        options.trace = [this](const std::string& line) { m_trace.push_back(line); };
        auto service = std::make_unique<ClipboardService>(m_pasteboard, "Vude", options);
        service->setOnChange([this](const std::vector<Clip>& clips) {
            ++m_changes;
            m_lastReported = clips;
        });
        return service;
    }

    ClipboardService& service()
    {
        if (!m_service)
            m_service = makeService();
        return *m_service;
    }

    // Copies and polls, as a user copying something half a second apart.
    void copy(std::vector<Item> items)
    {
        service();
        m_clock.advance(std::chrono::milliseconds(500));
        m_pasteboard.copy(std::move(items));
        service().poll();
    }
    void copyText(const std::string& text) { copy({{"text/plain;charset=utf-8", text}}); }
    void copyImage(const QImage& image) { copy({{"image/png", fixtures::encoded(image, "PNG")}}); }
    void copyFiles(const std::string& uriList) { copy({{"text/uri-list", uriList}}); }

    std::vector<std::string> texts() const
    {
        std::vector<std::string> result;
        for (const auto& clip : m_service->clips())
            result.push_back(clip.text);
        return result;
    }

    std::vector<std::string> imageFiles() const { return testsupport::folderEntries(mediaFolder()); }

    // Runs the history writes handed to the worker so far.
    void runWrites()
    {
        auto jobs = std::move(m_writeJobs);
        m_writeJobs.clear();
        for (auto& job : jobs)
            job();
    }

    std::optional<std::vector<Clip>> storedClips() const
    {
        if (!fs::exists(storeFile()))
            return std::nullopt;
        return decodeClipHistory(fixtures::readFile(storeFile()));
    }

    QTemporaryDir m_root;
    std::vector<std::function<void()>> m_writeJobs;
    std::vector<std::string> m_trace;
    FakePasteboard m_pasteboard;
    ManualClock m_clock{kReferenceDate + std::chrono::hours(24 * 9000)};
    FakeFrontmostApplication m_frontmost;
    std::unique_ptr<ClipboardService> m_service;
    int m_changes = 0;
    std::vector<Clip> m_lastReported;
};

TEST_F(ClipboardServiceTest, ClassifiesTheFirstRuleThatApplies)
{
    const std::string png = fixtures::encoded(fixtures::quadrants(8, 6), "PNG");
    const std::string tiff = fixtures::encoded(fixtures::quadrants(8, 6), "TIFF");
    const struct {
        const char* why;
        std::vector<Item> items;
        std::optional<Kind> kind;
        std::string text;
        std::optional<std::string> storedPath;
    } rows[] = {
        {"plain text", {{"UTF8_STRING", "hello"}}, Kind::text, "hello", std::nullopt},
        {"a web link", {{"UTF8_STRING", "https://example.org/a?b"}}, Kind::url, "https://example.org/a?b",
         std::nullopt},
        {"plain http is a link too", {{"UTF8_STRING", "http://x"}}, Kind::url, "http://x", std::nullopt},
        {"a link after a space is text", {{"UTF8_STRING", " https://example.org"}}, Kind::text,
         " https://example.org", std::nullopt},
        {"a link after a line end is text", {{"UTF8_STRING", "\nhttps://example.org"}}, Kind::text,
         "\nhttps://example.org", std::nullopt},
        {"the scheme is compared case-sensitively", {{"UTF8_STRING", "HTTPS://EXAMPLE.ORG"}}, Kind::text,
         "HTTPS://EXAMPLE.ORG", std::nullopt},
        {"text keeps its white space", {{"UTF8_STRING", "  indented\n\n"}}, Kind::text, "  indented\n\n",
         std::nullopt},
        {"files beat the text beside them",
         {{"text/uri-list", "file:///home/ada/Report%20Q3.pdf\r\n"}, {"UTF8_STRING", "/home/ada/Report Q3.pdf"}},
         Kind::file, "Report Q3.pdf", "/home/ada/Report Q3.pdf"},
        {"of several files the first stands for all",
         {{"text/uri-list", "file:///tmp/one.txt\r\nfile:///tmp/two.txt\r\n"}}, Kind::file, "one.txt",
         "/tmp/one.txt"},
        {"a link in the URI list is no file", {{"text/uri-list", "https://a.example\r\n"}, {"UTF8_STRING", "https://a.example"}},
         Kind::url, "https://a.example", std::nullopt},
        {"white space beside an image yields the image", {{"UTF8_STRING", " \n\t\xC2\xA0"}, {"image/png", png}},
         Kind::image, "Image", std::nullopt},
        {"visible text beside an image yields the text", {{"UTF8_STRING", "caption"}, {"image/png", png}},
         Kind::text, "caption", std::nullopt},
        {"a TIFF image is kept as PNG", {{"image/tiff", tiff}}, Kind::image, "Image", std::nullopt},
        {"image bytes that do not decode", {{"image/png", "not a png"}}, std::nullopt, "", std::nullopt},
        {"rich text alone", {{"text/html", "<b>bold</b>"}}, std::nullopt, "", std::nullopt},
        {"an emptied clipboard", {}, std::nullopt, "", std::nullopt},
        {"text too long to keep whole is skipped, not cut",
         {{"UTF8_STRING", std::string(ClipboardService::maxTextBytes + 1, 'x')}, {"image/png", png}}, std::nullopt,
         "", std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        m_service.reset();
        fs::remove_all(container());
        copy(row.items);
        if (!row.kind) {
            EXPECT_TRUE(service().clips().empty());
            EXPECT_TRUE(imageFiles().empty());
            continue;
        }
        ASSERT_EQ(service().clips().size(), 1u);
        const Clip& clip = service().clips().front();
        EXPECT_EQ(clip.kind, *row.kind);
        EXPECT_EQ(clip.text, row.text);
        if (clip.kind == Kind::image) {
            ASSERT_TRUE(clip.storedPath.has_value());
            EXPECT_EQ(fs::path(*clip.storedPath).parent_path(), mediaFolder());
            const auto decoded = ImageCodec::decodeFile(*clip.storedPath);
            ASSERT_TRUE(decoded.has_value());
            EXPECT_EQ(decoded->format, ImageFormat::png);
            EXPECT_TRUE(fixtures::showsQuadrantsUpright(decoded->image));
        } else {
            EXPECT_EQ(clip.storedPath, row.storedPath);
        }
    }
}

TEST_F(ClipboardServiceTest, ImagesAreNamedByAFreshUppercaseUuid)
{
    copyImage(fixtures::quadrants(8, 6));
    const auto files = imageFiles();
    ASSERT_EQ(files.size(), 1u);
    const std::string& name = files.front();
    ASSERT_EQ(name.size(), 40u);
    EXPECT_TRUE(name.ends_with(".png"));
    const auto uuid = Uuid::parse(name.substr(0, 36));
    ASSERT_TRUE(uuid.has_value());
    EXPECT_EQ(uuid->toString() + ".png", name);
    EXPECT_NE(*uuid, service().clips().front().id);
}

TEST_F(ClipboardServiceTest, ConcealedContentIsNeverRecordedAndItsChangeIsConsumed)
{
    const struct {
        const char* why;
        Item marker;
        bool recorded;
    } rows[] = {
        {"concealed", {"org.nspasteboard.ConcealedType", ""}, false},
        {"transient", {"org.nspasteboard.TransientType", ""}, false},
        {"auto-generated", {"org.nspasteboard.AutoGeneratedType", ""}, false},
        {"sensitive", {"com.apple.is-sensitive", ""}, false},
        {"a Linux password manager's hint", {"x-kde-passwordManagerHint", "secret"}, false},
        {"the hint with a line end", {"x-kde-passwordManagerHint", "secret\n"}, false},
        {"a hint saying something else", {"x-kde-passwordManagerHint", "public"}, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        m_service.reset();
        fs::remove_all(container());
        copy({{"UTF8_STRING", "hunter2"}, row.marker});
        EXPECT_EQ(service().clips().size(), row.recorded ? 1u : 0u);
        EXPECT_EQ(service().lastChangeCount(), m_pasteboard.changeCount());
        // Consumed: the next poll does not look again.
        const int reads = m_pasteboard.readCount();
        service().poll();
        EXPECT_EQ(m_pasteboard.readCount(), reads);
    }
    // Without a list of types nothing can be seen as concealed.
    m_service.reset();
    m_pasteboard.setReportsTypes(false);
    copy({{"UTF8_STRING", "hunter2"}, {"org.nspasteboard.ConcealedType", ""}});
    EXPECT_EQ(texts(), std::vector<std::string>{"hunter2"});
}

TEST_F(ClipboardServiceTest, WhatIsOnThePasteboardAtStartIsNotRecorded)
{
    m_pasteboard.copyText("from before launch");
    service().poll();
    service().poll();
    EXPECT_TRUE(service().clips().empty());
    EXPECT_EQ(m_pasteboard.readCount(), 0);
    copyText("after launch");
    EXPECT_EQ(texts(), std::vector<std::string>{"after launch"});
}

TEST_F(ClipboardServiceTest, DuplicatesMoveToTheFrontAndTheLimitEvictsTheOldest)
{
    auto numbered = [](int from, int to) {
        std::vector<std::string> result;
        for (int i = from; i <= to; ++i)
            result.push_back("clip " + std::to_string(i));
        return result;
    };
    auto reversed = [](std::vector<std::string> list) {
        std::reverse(list.begin(), list.end());
        return list;
    };
    const struct {
        const char* why;
        std::int64_t maxItems;
        std::vector<std::string> copies;
        std::vector<std::string> newestFirst;
    } rows[] = {
        {"the same text twice is one entry", 40, {"a", "b", "a"}, {"a", "b"}},
        {"equal text is compared exactly", 40, {"a", "a ", "A"}, {"A", "a ", "a"}},
        {"five kept at the smallest limit", 5, numbered(1, 7), reversed(numbered(3, 7))},
        {"two hundred kept at the largest", 200, numbered(1, 205), reversed(numbered(6, 205))},
        {"a duplicate at the limit evicts nothing", 5,
         {"clip 1", "clip 2", "clip 3", "clip 4", "clip 5", "clip 1"},
         {"clip 1", "clip 5", "clip 4", "clip 3", "clip 2"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        m_service.reset();
        fs::remove_all(container());
        service().setMaxItems(row.maxItems);
        for (const auto& text : row.copies)
            copyText(text);
        EXPECT_EQ(texts(), row.newestFirst);
    }
}

TEST_F(ClipboardServiceTest, ARepeatedCopyTakesTheNewerTimeAndSource)
{
    m_frontmost.set("org.gnome.TextEditor");
    copyText("same");
    const Date first = service().clips().front().copiedAt;
    m_frontmost.set("firefox");
    copyText("other");
    copyText("same");
    ASSERT_EQ(texts(), (std::vector<std::string>{"same", "other"}));
    const Clip& clip = service().clips().front();
    EXPECT_EQ(clip.copiedAt, first + std::chrono::seconds(1));
    EXPECT_EQ(clip.sourceApp, "firefox");
}

TEST_F(ClipboardServiceTest, ALowerLimitWaitsForTheNextCopy)
{
    service().setMaxItems(10);
    for (int i = 0; i < 10; ++i)
        copyText("clip " + std::to_string(i));
    service().setMaxItems(5);
    service().poll();
    EXPECT_EQ(service().clips().size(), 10u);
    copyText("one more");
    EXPECT_EQ(service().clips().size(), 5u);
    EXPECT_EQ(service().clips().front().text, "one more");
}

TEST_F(ClipboardServiceTest, SameNamedFilesFromTwoFoldersAreOneEntry)
{
    copyFiles("file:///home/ada/a/notes.txt\r\n");
    copyFiles("file:///home/ada/b/notes.txt\r\n");
    ASSERT_EQ(service().clips().size(), 1u);
    EXPECT_EQ(service().clips().front().storedPath, "/home/ada/b/notes.txt");
    // A text that reads like the file's name is another kind, so another entry.
    copyText("notes.txt");
    EXPECT_EQ(service().clips().size(), 2u);
}

TEST_F(ClipboardServiceTest, AnImageFileLeavesWithItsEntry)
{
    copyImage(fixtures::quadrants(8, 6));
    const std::string firstImage = *service().clips().front().storedPath;
    // Every image reads "Image": a second one replaces the first, file and all.
    copyImage(fixtures::quadrants(6, 8));
    ASSERT_EQ(service().clips().size(), 1u);
    EXPECT_FALSE(fs::exists(firstImage));
    EXPECT_EQ(imageFiles().size(), 1u);

    // Evicted.
    service().setMaxItems(1);
    copyText("pushes the image out");
    EXPECT_TRUE(imageFiles().empty());

    // Removed.
    service().setMaxItems(40);
    copyImage(fixtures::quadrants(8, 6));
    const Clip image = service().clips().front();
    const int changes = m_changes;
    service().remove(image);
    EXPECT_EQ(texts(), std::vector<std::string>{"pushes the image out"});
    EXPECT_TRUE(imageFiles().empty());
    EXPECT_EQ(m_changes, changes + 1);
    EXPECT_EQ(m_lastReported, service().clips());
}

TEST_F(ClipboardServiceTest, ClearEmptiesTheListAndTheImageFolder)
{
    copyImage(fixtures::quadrants(8, 6));
    copyText("text");
    // Left behind by an earlier run; nothing refers to it.
    fixtures::writeFile(mediaFolder() / "0E5C0F2A-9D0B-4B53-8F2B-5B6E8C1D2A3F.png", "stale");
    fixtures::writeFile(mediaFolder() / "notes.txt", "not ours to judge");
    service().setPersists(true);
    service().clear();
    EXPECT_TRUE(service().clips().empty());
    EXPECT_TRUE(m_lastReported.empty());
    EXPECT_EQ(imageFiles(), std::vector<std::string>{"notes.txt"});
    EXPECT_EQ(fixtures::readFile(storeFile()), "[]");
}

TEST_F(ClipboardServiceTest, RestoringPutsTheEntryBackWithoutRecordingItAgain)
{
    copyFiles("file:///home/ada/plan.pdf\r\n");
    copyImage(fixtures::quadrants(8, 6));
    copyText("https://example.org");
    const auto before = service().clips();
    const int changes = m_changes;

    service().restore(before[2]);
    EXPECT_EQ(m_pasteboard.itemData("text/uri-list"), "file:///home/ada/plan.pdf\r\n");
    service().restore(before[0]);
    EXPECT_EQ(m_pasteboard.itemData(FakePasteboard::textType), "https://example.org");
    service().restore(before[1]);
    const auto png = m_pasteboard.itemData("image/png");
    ASSERT_TRUE(png.has_value());
    const auto decoded = ImageCodec::decode(*png);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_TRUE(fixtures::showsQuadrantsUpright(decoded->image));

    const int reads = m_pasteboard.readCount();
    service().poll();
    EXPECT_EQ(m_pasteboard.readCount(), reads);
    EXPECT_EQ(service().clips(), before);
    EXPECT_EQ(m_changes, changes);

    copyText("a real copy afterwards");
    EXPECT_EQ(service().clips().size(), 4u);
}

TEST_F(ClipboardServiceTest, RestoringAnImageWhoseFileIsGoneLeavesThePasteboardEmpty)
{
    copyImage(fixtures::quadrants(8, 6));
    const Clip image = service().clips().front();
    fs::remove(*image.storedPath);
    service().restore(image);
    EXPECT_TRUE(m_pasteboard.items().empty());
    service().poll();
    EXPECT_EQ(service().clips().size(), 1u);
}

TEST_F(ClipboardServiceTest, AnOwnerThatNeverAnswersCostsOneReadAndRecordsNothing)
{
    m_pasteboard.setUnresponsive(true);
    copyText("stuck");
    EXPECT_TRUE(service().clips().empty());
    EXPECT_EQ(m_pasteboard.readCount(), 1);
    service().poll();
    EXPECT_EQ(m_pasteboard.readCount(), 1);
    m_pasteboard.setUnresponsive(false);
    copyText("answered");
    EXPECT_EQ(texts(), std::vector<std::string>{"answered"});
}

TEST_F(ClipboardServiceTest, AReadKeepsTheTimeAndSourceOfTheMomentTheChangeWasNoticed)
{
    m_pasteboard.setHoldsReads(true);
    m_frontmost.set("org.kde.kate");
    copyText("slow owner");
    const Date noticed = m_clock.now();
    EXPECT_TRUE(service().isReading());
    m_frontmost.set("firefox");
    m_clock.advance(std::chrono::seconds(2));
    m_pasteboard.finishReads();
    ASSERT_EQ(service().clips().size(), 1u);
    EXPECT_EQ(service().clips().front().copiedAt, noticed);
    EXPECT_EQ(service().clips().front().sourceApp, "org.kde.kate");
    EXPECT_FALSE(service().isReading());
}

TEST_F(ClipboardServiceTest, AChangeDuringAReadIsReadAfterItAndTheOlderResultDropped)
{
    m_pasteboard.setHoldsReads(true);
    copyText("first");
    copyText("second");
    copyText("third");
    EXPECT_EQ(m_pasteboard.heldReads(), 1u);
    m_pasteboard.finishReads();
    EXPECT_EQ(texts(), std::vector<std::string>{"third"});
    EXPECT_EQ(m_pasteboard.readCount(), 2);
}

TEST_F(ClipboardServiceTest, ARestoreDropsAReadUnderWayAndItsImage)
{
    m_pasteboard.setHoldsReads(true);
    copyImage(fixtures::quadrants(8, 6));
    Clip clip;
    clip.kind = Kind::text;
    clip.text = "restored";
    service().restore(clip);
    m_pasteboard.finishReads();
    EXPECT_TRUE(service().clips().empty());
    EXPECT_TRUE(imageFiles().empty());
}

TEST_F(ClipboardServiceTest, PersistenceOffOnOffLeavesNoFileAndNoOrphanedImages)
{
    copyImage(fixtures::quadrants(8, 6));
    copyText("kept in memory");
    EXPECT_FALSE(fs::exists(storeFile()));

    // On: nothing is written until the history changes.
    service().setPersists(true);
    service().poll();
    EXPECT_FALSE(fs::exists(storeFile()));
    copyText("now on disk");
    runWrites();
    const auto stored = decodeClipHistory(fixtures::readFile(storeFile()));
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(*stored, service().clips());
    EXPECT_EQ(fs::status(storeFile()).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);

    // Off: the file goes at once; the entries and their image stay, strays go.
    fixtures::writeFile(mediaFolder() / "0E5C0F2A-9D0B-4B53-8F2B-5B6E8C1D2A3F.png", "stray");
    service().setPersists(false);
    service().forgetOnDisk();
    EXPECT_FALSE(fs::exists(storeFile()));
    EXPECT_EQ(texts(), (std::vector<std::string>{"now on disk", "kept in memory", "Image"}));
    const std::string image = fs::path(*service().clips()[2].storedPath).filename().string();
    EXPECT_EQ(imageFiles(), std::vector<std::string>{image});
    copyText("in memory again");
    runWrites();
    EXPECT_FALSE(fs::exists(storeFile()));

    // The next start has no history, and so keeps no image.
    m_service.reset();
    EXPECT_TRUE(service().clips().empty());
    EXPECT_TRUE(imageFiles().empty());
}

TEST_F(ClipboardServiceTest, AHistoryFoundAtStartIsLoadedButWrittenOnlyWhilePersisting)
{
    service().setPersists(true);
    copyImage(fixtures::quadrants(8, 6));
    copyText("saved");
    runWrites();
    const auto saved = service().clips();
    const std::string file = fixtures::readFile(storeFile());
    m_service.reset();

    EXPECT_EQ(service().clips(), saved);
    EXPECT_EQ(imageFiles().size(), 1u);
    copyText("not saved");
    runWrites();
    EXPECT_EQ(fixtures::readFile(storeFile()), file);
}

TEST_F(ClipboardServiceTest, AnUnreadableHistoryStartsEmptyAndIsLeftAlone)
{
    fs::create_directories(mediaFolder());
    const std::string file =
        R"([{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","kind":"video","text":"a","copiedAt":1}])";
    fixtures::writeFile(storeFile(), file);
    fixtures::writeFile(mediaFolder() / "0E5C0F2A-9D0B-4B53-8F2B-5B6E8C1D2A3F.png", "maybe named by it");
    EXPECT_TRUE(service().clips().empty());
    EXPECT_EQ(fixtures::readFile(storeFile()), file);
    EXPECT_EQ(imageFiles().size(), 1u);
    // The next save replaces it.
    service().setPersists(true);
    copyText("fresh");
    runWrites();
    EXPECT_EQ(decodeClipHistory(fixtures::readFile(storeFile()))->size(), 1u);
}

TEST_F(ClipboardServiceTest, FileErrorsLoseNothingButTheImage)
{
    service();
    // The image folder turned into a file: images cannot be written.
    fs::remove_all(mediaFolder());
    fixtures::writeFile(mediaFolder(), "in the way");
    copyImage(fixtures::quadrants(8, 6));
    EXPECT_TRUE(service().clips().empty());
    copyText("text still works");
    EXPECT_EQ(texts(), std::vector<std::string>{"text still works"});
}

TEST_F(ClipboardServiceTest, AnImageEntryNeverDeletesAFileOutsideItsFolder)
{
    const std::string ownName = "0E5C0F2A-9D0B-4B53-8F2B-5B6E8C1D2A3F.png";
    const fs::path own = mediaFolder() / ownName;
    const struct {
        const char* why;
        std::string storedPath;
        std::optional<fs::path> victim;
    } rows[] = {
        {"a file anywhere", (root() / "precious.png").string(), root() / "precious.png"},
        {"climbing out of the folder", (mediaFolder() / ".." / "clipboard-notes.txt").string(),
         container() / "clipboard-notes.txt"},
        {"climbing out under our own name", (mediaFolder() / ".." / ownName).string(), container() / ownName},
        {"a folder below it", (mediaFolder() / "sub" / ownName).string(), mediaFolder() / "sub" / ownName},
        {"a name the history never gives", (mediaFolder() / "keep.png").string(), mediaFolder() / "keep.png"},
        {"a relative path, which names another file in each working folder", "Clipboard/" + ownName,
         std::nullopt},
    };
    fs::create_directories(mediaFolder() / "sub");
    fixtures::writeFile(own, "ours");
    std::vector<Clip> stored;
    auto imageClip = [&](const std::string& path, int minutes) {
        Clip clip;
        clip.id = Uuid::random();
        clip.kind = Kind::image;
        clip.text = "Image";
        clip.storedPath = path;
        clip.copiedAt = m_clock.now() - std::chrono::minutes(minutes);
        return clip;
    };
    for (const auto& row : rows) {
        stored.push_back(imageClip(row.storedPath, int(stored.size()) + 1));
        if (row.victim)
            fixtures::writeFile(*row.victim, row.why);
    }
    stored.push_back(imageClip(own.string(), 0));
    fixtures::writeFile(storeFile(), encodeClipHistory(stored));

    // At start only our own image stays, and the rest is told in one line.
    ASSERT_EQ(service().clips().size(), 1u);
    EXPECT_EQ(service().clips().front().storedPath, own.string());
    ASSERT_EQ(m_trace.size(), 1u);
    EXPECT_NE(m_trace.front().find("dropped 6 image entries"), std::string::npos) << m_trace.front();

    // A holder may still hand such entries over: removal, eviction and
    // clearing leave their files alone.
    service().setClips(stored);
    service().remove(stored.front());
    service().setMaxItems(1);
    copyText("evicts the rest");
    service().setClips(stored);
    service().clear();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        if (row.victim) {
            EXPECT_TRUE(fs::exists(*row.victim));
        }
    }
    // Our own image went with its entry's eviction, as before.
    EXPECT_FALSE(fs::exists(own));
}

TEST_F(ClipboardServiceTest, StartSweepsWhatKilledWritesLeftBehind)
{
    const std::string image = "0E5C0F2A-9D0B-4B53-8F2B-5B6E8C1D2A3F.png";
    for (const bool withHistory : {false, true}) {
        SCOPED_TRACE(withHistory ? "with a history file" : "without one");
        m_service.reset();
        fs::remove_all(container());
        fs::create_directories(mediaFolder());
        const std::string history = encodeClipHistory({});
        if (withHistory)
            fixtures::writeFile(storeFile(), history);
        fixtures::writeFile(container() / ".clipboard.json.a1B2c3", "half a history");
        fixtures::writeFile(container() / ".clipboard.json.Zz9900", "another");
        fixtures::writeFile(mediaFolder() / ("." + image + ".q7W8e9"), "half an image");
        // Not what a killed write leaves.
        fixtures::writeFile(container() / ".clipboard.json.bak", "the user's");
        fixtures::writeFile(container() / "index.json", "the tray's");
        fixtures::writeFile(mediaFolder() / ".notes.txt.a1B2c3", "someone else's");

        service();
        EXPECT_EQ(testsupport::folderEntries(container()),
                  withHistory ? (std::vector<std::string>{".clipboard.json.bak", "Clipboard", "clipboard.json",
                                                          "index.json"})
                              : (std::vector<std::string>{".clipboard.json.bak", "Clipboard", "index.json"}));
        EXPECT_EQ(imageFiles(), std::vector<std::string>{".notes.txt.a1B2c3"});
        if (withHistory) {
            EXPECT_EQ(fixtures::readFile(storeFile()), history);
        }
    }
}

TEST_F(ClipboardServiceTest, ACopyLeavesTheWriteToTheWorkerAndABurstIsOneWrite)
{
    service().setPersists(true);
    copyText("one");
    copyText("two");
    copyText("three");
    EXPECT_FALSE(fs::exists(storeFile()));
    EXPECT_EQ(m_writeJobs.size(), 1u);
    runWrites();
    EXPECT_EQ(storedClips(), service().clips());

    // A copy while a write waits joins it; a later one needs another.
    copyText("four");
    runWrites();
    copyText("five");
    EXPECT_EQ(m_writeJobs.size(), 1u);
    runWrites();
    EXPECT_EQ(storedClips(), service().clips());
    // Removal saves the same way.
    service().remove(service().clips().front());
    runWrites();
    EXPECT_EQ(storedClips(), service().clips());
}

TEST_F(ClipboardServiceTest, ClearingOrForgettingWinsOverAWriteStillWaiting)
{
    const struct {
        const char* why;
        std::function<void(ClipboardService&)> act;
        std::optional<std::vector<Clip>> onDisk;
    } rows[] = {
        {"forgotten: no file, now or later", [](ClipboardService& s) { s.forgetOnDisk(); }, std::nullopt},
        {"cleared while persisting: the empty list at once", [](ClipboardService& s) { s.clear(); },
         std::vector<Clip>{}},
        {"cleared after persistence went off: the older file stays",
         [](ClipboardService& s) {
             s.setPersists(false);
             s.clear();
         },
         std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        m_service.reset();
        m_writeJobs.clear();
        fs::remove_all(container());
        service().setPersists(true);
        copyText("secret");
        ASSERT_EQ(m_writeJobs.size(), 1u);
        row.act(service());
        EXPECT_EQ(storedClips(), row.onDisk);
        // The worker gets to the waiting write only now.
        runWrites();
        EXPECT_EQ(storedClips(), row.onDisk);
        m_service.reset();
        EXPECT_EQ(storedClips(), row.onDisk);
    }
}

TEST_F(ClipboardServiceTest, AWriteStillWaitingIsFlushedAtQuit)
{
    service().setPersists(true);
    copyText("copied just before quitting");
    ASSERT_FALSE(fs::exists(storeFile()));
    service().flush();
    EXPECT_EQ(storedClips(), service().clips());

    // Going away flushes too; the worker's late job then finds nothing.
    copyText("and another");
    const auto last = service().clips();
    m_service.reset();
    EXPECT_EQ(storedClips(), last);
    fs::remove(storeFile());
    runWrites();
    EXPECT_FALSE(fs::exists(storeFile()));
}

// The same rules with the service's own worker thread racing the caller.
TEST_F(ClipboardServiceTest, TheOwnWorkerNeverBringsAForgottenHistoryBack)
{
    ClipboardService::Options options;
    options.clock = &m_clock;
    options.applicationSupport = root();
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        std::vector<Clip> last;
        {
            ClipboardService service(m_pasteboard, "Vude", options);
            service.setPersists(true);
            for (int i = 0; i < 25; ++i) {
                m_pasteboard.copyText("round " + std::to_string(round) + " copy " + std::to_string(i));
                service.poll();
            }
            if (round % 2 == 0)
                service.forgetOnDisk();
            else
                last = service.clips();
        }
        if (round % 2 == 0) {
            EXPECT_FALSE(fs::exists(storeFile()));
        } else {
            EXPECT_EQ(storedClips(), last);
        }
        fs::remove(storeFile());
    }
}

} // namespace
