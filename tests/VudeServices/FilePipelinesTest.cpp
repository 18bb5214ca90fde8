#include "VudeServices/FilePipelines.h"

#include "Platform/Core/SerialQueue.h"
#include "Platform/Desktop/FakePasteboard.h"
#include "VudeServices/PipelineSupport.h"

#include "TestSupport.h"
#include "ZipFixtures.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <map>

#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using fixtures::zip::Entry;

namespace {

using Progress = std::vector<std::pair<double, std::string>>;

class FilePipelinesTest : public ::testing::Test {
protected:
    QTemporaryDir root;
    Progress progress;

    fs::path inputs() const { return fs::path(root.path().toStdString()) / "dropped"; }
    fs::path outputs() const { return fs::path(root.path().toStdString()) / "Pipelines"; }

    void SetUp() override
    {
        fs::create_directories(inputs());
        fs::create_directories(outputs());
    }

    fs::path drop(const std::string& relative, const std::string& bytes) const
    {
        const fs::path path = inputs() / relative;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    PipelineRunResult run(const DropPipeline& pipeline, const std::vector<fs::path>& urls)
    {
        progress.clear();
        return pipeline.run(urls, outputs(), ProgressReporter([this](double fraction, const std::string& detail) {
                                progress.emplace_back(fraction, detail);
                            }));
    }

    std::vector<std::string> outputNames() const { return testsupport::folderEntries(outputs()); }
};

std::string read(const fs::path& path)
{
    return fixtures::zip::readAll(path);
}

/// Everything under `folder`: kind and content, link targets.
std::map<std::string, std::string> tree(const fs::path& folder)
{
    std::map<std::string, std::string> entries;
    for (auto it = fs::recursive_directory_iterator(folder); it != fs::recursive_directory_iterator(); ++it) {
        const auto name = it->path().lexically_relative(folder).string();
        if (it->is_symlink())
            entries[name] = "-> " + fs::read_symlink(it->path()).string();
        else if (it->is_directory())
            entries[name] = "folder";
        else
            entries[name] = read(it->path());
    }
    return entries;
}

std::string messageOf(const PipelineRunResult& result)
{
    return result ? std::string("(succeeded)") : result.error().message();
}

TEST_F(FilePipelinesTest, AnyNonEmptyListIsTakenButUnzipWantsArchives)
{
    const ZipPipeline zip;
    const UnzipPipeline unzip;
    const RenamePipeline rename;
    const CopyPathsPipeline copyPaths;
    struct Case {
        std::vector<fs::path> urls;
        bool others;
        bool unzip;
    };
    const Case cases[] = {
        {{}, false, false},
        {{"/d/a.zip"}, true, true},
        {{"/d/a.ZIP", "/d/b.Zip"}, true, true},
        {{"/d/a.zip", "/d/b.pdf"}, true, false},
        {{"/d/folder/"}, true, false},
        {{"/d/zip"}, true, false},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.urls.empty() ? "empty" : row.urls.front().string());
        EXPECT_EQ(zip.accepts(row.urls), row.others);
        EXPECT_EQ(rename.accepts(row.urls), row.others);
        EXPECT_EQ(copyPaths.accepts(row.urls), row.others);
        EXPECT_EQ(unzip.accepts(row.urls), row.unzip);
    }
}

TEST_F(FilePipelinesTest, EveryFilePipelineRefusesAnEmptyDrop)
{
    FakePasteboard pasteboard;
    const ZipPipeline zip;
    const UnzipPipeline unzip;
    const RenamePipeline rename;
    const CopyPathsPipeline copyPaths(&pasteboard);
    for (const DropPipeline* pipeline : std::initializer_list<const DropPipeline*>{&zip, &unzip, &rename, &copyPaths}) {
        SCOPED_TRACE(pipeline->title());
        EXPECT_EQ(messageOf(run(*pipeline, {})), "Nothing to work on");
        EXPECT_EQ(progress, Progress{});
    }
    EXPECT_EQ(outputNames(), std::vector<std::string>{});
    EXPECT_EQ(pasteboard.changeCount(), 0);
}

TEST_F(FilePipelinesTest, ZipNamesTheArchiveAfterItsOnlyInputOrArchive)
{
    const ZipPipeline zip;
    const fs::path report = drop("report.pdf", "%PDF");
    const auto one = run(zip, {report});
    ASSERT_TRUE(one) << messageOf(one);
    EXPECT_EQ(*one, std::vector<fs::path>{outputs() / "report.zip"});
    EXPECT_EQ(progress, (Progress{{0.1, "Compressing"}, {1.0, "Done"}}));

    const std::vector<fs::path> three{report, drop("a.txt", "a"), drop("b.txt", "b")};
    ASSERT_TRUE(run(zip, three));
    const auto again = run(zip, three);
    ASSERT_TRUE(again);
    EXPECT_EQ(*again, std::vector<fs::path>{outputs() / "Archive-1.zip"});
    EXPECT_EQ(outputNames(), (std::vector<std::string>{"Archive-1.zip", "Archive.zip", "report.zip"}));
    EXPECT_EQ(read(report), "%PDF") << "the dropped file is left alone";

    const auto missing = run(zip, {report, inputs() / "gone.txt"});
    EXPECT_EQ(messageOf(missing), "Couldn't read gone.txt");
    EXPECT_EQ(outputNames().size(), 3u) << "no half archive";

    ASSERT_EQ(::mkfifo((inputs() / "pipe").c_str(), 0600), 0);
    EXPECT_EQ(messageOf(run(zip, {inputs() / "pipe"})), "pipe is a named pipe, not a file or folder");
    EXPECT_EQ(outputNames().size(), 3u) << "no empty archive";
}

TEST_F(FilePipelinesTest, UnzipRecreatesTheFoldersZipPacked)
{
    drop("photos/beach.jpg", "\xFF\xD8\xFF sand");
    drop("photos/2024/snow.png", "\x89PNG ice");
    drop("docs/notes.txt", "remember");
    fs::create_symlink("../docs/notes.txt", inputs() / "photos" / "notes-link");
    const auto zipped = run(ZipPipeline(), {inputs() / "photos", inputs() / "docs"});
    ASSERT_TRUE(zipped) << messageOf(zipped);
    ASSERT_EQ(*zipped, std::vector<fs::path>{outputs() / "Archive.zip"});

    const auto unzipped = run(UnzipPipeline(), {outputs() / "Archive.zip"});
    ASSERT_TRUE(unzipped) << messageOf(unzipped);
    ASSERT_EQ(*unzipped, std::vector<fs::path>{outputs() / "Archive.unzipped"});
    EXPECT_EQ(testsupport::folderEntries(outputs() / "Archive.unzipped"), (std::vector<std::string>{"docs", "photos"}));
    EXPECT_EQ(tree(outputs() / "Archive.unzipped"), tree(inputs()));
    EXPECT_EQ(progress, (Progress{{0.0, "Archive.zip"}, {1.0, "Done"}}));
}

TEST_F(FilePipelinesTest, UnzipGivesEachArchiveItsOwnFolder)
{
    ASSERT_TRUE(fixtures::zip::write(inputs() / "a.ZIP", {Entry::file("inside.txt", "a")}));
    ASSERT_TRUE(fixtures::zip::write(inputs() / "b.zip", {Entry::file("inside.txt", "b")}));
    fs::create_directories(outputs() / "b.unzipped");

    const UnzipPipeline unzip;
    const auto result = run(unzip, {inputs() / "a.ZIP", inputs() / "b.zip"});
    ASSERT_TRUE(result) << messageOf(result);
    EXPECT_EQ(*result, (std::vector<fs::path>{outputs() / "a.unzipped", outputs() / "b-1.unzipped"}));
    EXPECT_EQ(read(outputs() / "a.unzipped" / "inside.txt"), "a");
    EXPECT_EQ(read(outputs() / "b-1.unzipped" / "inside.txt"), "b");
    EXPECT_EQ(progress, (Progress{{0.0, "a.ZIP"}, {0.5, "b.zip"}, {1.0, "Done"}}));

    // The output folder is made when missing.
    const fs::path fresh = outputs() / "not" / "yet";
    ASSERT_TRUE(unzip.run({inputs() / "a.ZIP"}, fresh, ProgressReporter([](double, const std::string&) {})));
    EXPECT_TRUE(fs::exists(fresh / "a.unzipped" / "inside.txt"));
}

// Hostile archives fail with a message that says what was refused; the
// folder made for them stays, and nothing lands beside it.
TEST_F(FilePipelinesTest, UnzipRefusesHostileArchivesWithAClearMessage)
{
    const std::string outside = (outputs() / "escaped.txt").string();
    struct Case {
        const char* why;
        std::vector<Entry> entries;
        std::string message;
        std::vector<std::string> inside;
    };
    const Case cases[] = {
        {"a parent step", {Entry::file("ok.txt", "ok"), Entry::file("../escaped.txt", "x")},
         "Unsafe entry in evil.zip: ../escaped.txt", {"ok.txt"}},
        {"an absolute path", {Entry::file(outside, "x")}, "Unsafe entry in evil.zip: " + outside, {}},
        {"a link to /etc with a file through it", {Entry::link("etc", "/etc"), Entry::file("etc/vude-probe", "x")},
         "Unsafe link in evil.zip: etc -> /etc", {}},
        {"a chain of links", {Entry::link("l1", "."), Entry::link("l2", "l1/../escaped.txt")},
         "Unsafe link in evil.zip: l2 -> l1/../escaped.txt", {"l1"}},
        {"a gigabyte bomb", {Entry::zeroes("zeros.bin", 1ull << 30)}, "evil.zip expands too much to unpack safely", {}},
        {"an entry named twice", {Entry::file("same.txt", "first"), Entry::file("same.txt", "second")},
         "evil.zip holds same.txt twice", {"same.txt"}},
        {"no archive at all", {}, "Couldn't read evil.zip", {}},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.why);
        fs::remove_all(outputs());
        fs::create_directories(outputs());
        const fs::path archive = inputs() / "evil.zip";
        if (row.entries.empty())
            drop("evil.zip", "plain text, no archive");
        else
            ASSERT_TRUE(fixtures::zip::write(archive, row.entries));

        const auto result = run(UnzipPipeline(), {archive});
        EXPECT_EQ(messageOf(result), row.message);
        EXPECT_EQ(outputNames(), std::vector<std::string>{"evil.unzipped"});
        EXPECT_EQ(testsupport::folderEntries(outputs() / "evil.unzipped"), row.inside);
        EXPECT_FALSE(fs::exists("/etc/vude-probe"));
    }
}

TEST_F(FilePipelinesTest, UnzipSaysWhyItsFolderCannotBeMade)
{
    ASSERT_TRUE(fixtures::zip::write(inputs() / "a.zip", {Entry::file("inside.txt", "a")}));
    const fs::path blocked = drop("blocker", "a file where the output folder should be");
    const auto result = UnzipPipeline().run({inputs() / "a.zip"}, blocked / "Pipelines",
                                            ProgressReporter([](double, const std::string&) {}));
    EXPECT_EQ(messageOf(result), "Couldn't create the folder a.unzipped because the folder it goes in is missing.");
}

TEST(RenamePipelineNameTest, TokensAreReplacedInTheirOrder)
{
    // 2024-03-05 23:30 UTC (the tests run in UTC).
    const Date date = Date(std::chrono::seconds(1709681400));
    struct Case {
        const char* pattern;
        const char* url;
        std::size_t index;
        const char* name;
    };
    const Case cases[] = {
        {"{name}-{n}", "/d/IMG_1.heic", 0, "IMG_1-1"},
        {"{name}-{n}", "/d/IMG_2.heic", 1, "IMG_2-2"},
        {"{date} {name}.{ext} #{n}", "/d/scan.PDF", 9, "2024-03-05 scan.PDF #10"},
        {"{n}{n}{name}", "/d/a.txt", 2, "33a"},
        {"{name}", "/d/x{n}y.txt", 4, "x5y"}, // the stem's own token gets the counter
        {"{name}", "/d/{ext}.md", 0, "md"},
        {"{Name}-{N}", "/d/a.txt", 0, "{Name}-{N}"}, // tokens are case-sensitive
        {"{ext}", "/d/folder", 0, ""},
        {"plain", "/d/a.txt", 0, "plain"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.pattern);
        EXPECT_EQ(RenamePipeline(row.pattern).name(row.url, row.index, date), row.name);
    }
}

TEST_F(FilePipelinesTest, RenameWritesNamedCopiesAndLeavesTheDropAlone)
{
    const fs::path first = drop("IMG_1.heic", "one");
    const fs::path second = drop("IMG_2.heic", "two");
    int dateRequests = 0;
    const RenamePipeline rename("{name}-{n}", [&dateRequests] {
        ++dateRequests;
        return Date(std::chrono::seconds(0));
    });
    const auto result = run(rename, {first, second});
    ASSERT_TRUE(result) << messageOf(result);
    EXPECT_EQ(*result, (std::vector<fs::path>{outputs() / "IMG_1-1.heic", outputs() / "IMG_2-2.heic"}));
    EXPECT_EQ(read(outputs() / "IMG_2-2.heic"), "two");
    EXPECT_EQ(read(first), "one");
    EXPECT_EQ(testsupport::folderEntries(inputs()), (std::vector<std::string>{"IMG_1.heic", "IMG_2.heic"}));
    EXPECT_EQ(progress, (Progress{{0.0, "IMG_1.heic"}, {0.5, "IMG_2.heic"}, {1.0, "Done"}}));
    EXPECT_EQ(dateRequests, 1) << "one date for the whole run";

    const auto again = run(rename, {first});
    ASSERT_TRUE(again);
    EXPECT_EQ(*again, std::vector<fs::path>{outputs() / "IMG_1-1-1.heic"}) << "never in place of the earlier copy";
    EXPECT_EQ(read(outputs() / "IMG_1-1.heic"), "one");
}

TEST_F(FilePipelinesTest, RenameNamesOddPatternsSafely)
{
    const fs::path photo = drop("photo.JPG", "jpeg");
    struct Case {
        const char* pattern;
        const char* output;
    };
    const Case cases[] = {
        {"", "file.JPG"},           // an empty name becomes "file"
        {"{ext}", "JPG.JPG"},
        {"a/../../b", "a-..-..-b.JPG"}, // a name, never a path
        {"..", "file-1.JPG"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.pattern);
        const auto result = run(RenamePipeline(row.pattern), {photo});
        ASSERT_TRUE(result) << messageOf(result);
        EXPECT_EQ(*result, std::vector<fs::path>{outputs() / row.output});
    }
    EXPECT_EQ(testsupport::folderEntries(fs::path(root.path().toStdString())),
              (std::vector<std::string>{"Pipelines", "dropped"}));
}

TEST_F(FilePipelinesTest, RenameCopiesFoldersWholeAndReportsFileErrorsInItsOwnWords)
{
    drop("album/a.txt", "a");
    drop("album/inner/b.txt", "b");
    fs::create_symlink("inner/b.txt", inputs() / "album" / "b-link");
    const auto folder = run(RenamePipeline(), {inputs() / "album"});
    ASSERT_TRUE(folder) << messageOf(folder);
    EXPECT_EQ(*folder, std::vector<fs::path>{outputs() / "album-1"}) << "no trailing point without an extension";
    EXPECT_EQ(tree(outputs() / "album-1"), tree(inputs() / "album"));

    const fs::path present = drop("present.txt", "p");
    const auto missing = run(RenamePipeline(), {present, inputs() / "gone.txt", drop("later.txt", "l")});
    EXPECT_EQ(messageOf(missing), "Couldn't copy gone.txt because it no longer exists.");
    EXPECT_TRUE(fs::exists(outputs() / "present-1.txt")) << "earlier copies stay";
    EXPECT_FALSE(fs::exists(outputs() / "later-3.txt"));
}

TEST_F(FilePipelinesTest, RenamingTheOutputFolderItselfCopiesItOnce)
{
    std::ofstream(outputs() / "earlier.zip") << "zip";
    const auto result = run(RenamePipeline(), {outputs()});
    ASSERT_TRUE(result) << messageOf(result);
    EXPECT_EQ(*result, std::vector<fs::path>{outputs() / "Pipelines-1"});
    EXPECT_EQ(testsupport::folderEntries(outputs() / "Pipelines-1"), std::vector<std::string>{"earlier.zip"});
    EXPECT_EQ(outputNames(), (std::vector<std::string>{"Pipelines-1", "earlier.zip"})) << "no staging folder left";
}

TEST(PipelineSupportFileErrorsTest, FileErrorsAreDescribedInOurOwnWords)
{
    struct Case {
        int code;
        bool whileReading;
        const char* message;
    };
    const Case cases[] = {
        {EACCES, true, "Couldn't copy a.txt because you don't have permission."},
        {ENOENT, true, "Couldn't copy a.txt because it no longer exists."},
        {ENOENT, false, "Couldn't copy a.txt because the folder it goes in is missing."},
        {ENOSPC, false, "Couldn't copy a.txt because there isn't enough space."},
        {EROFS, false, "Couldn't copy a.txt because the disk is read-only."},
        {EIO, true, "Couldn't copy a.txt because of an error (input/output error)."},
    };
    for (const auto& row : cases)
        EXPECT_EQ(PipelineSupport::fileErrorDescription("copy", "a.txt", row.code, row.whileReading), row.message);
}

TEST_F(FilePipelinesTest, CopyPathPutsOnePathALineOnTheClipboard)
{
    FakePasteboard pasteboard;
    pasteboard.copy({{"image/png", "earlier image"}, {std::string(FakePasteboard::textType), "earlier text"}});
    const CopyPathsPipeline copyPaths(&pasteboard);
    const auto result = run(copyPaths, {"/a/b.txt", "/c/d.png", "/e/folder/"});
    ASSERT_TRUE(result) << messageOf(result);
    EXPECT_EQ(*result, std::vector<fs::path>{}) << "no file is produced";
    EXPECT_EQ(progress, (Progress{{1.0, "Copied"}}));
    ASSERT_EQ(pasteboard.items().size(), 1u) << "the earlier contents are cleared";
    EXPECT_EQ(pasteboard.itemData(FakePasteboard::textType), "/a/b.txt\n/c/d.png\n/e/folder");
    EXPECT_EQ(outputNames(), std::vector<std::string>{});
}

TEST_F(FilePipelinesTest, CopyPathFromAWorkerWritesOnTheMainThread)
{
    FakePasteboard pasteboard;
    const CopyPathsPipeline copyPaths(&pasteboard);
    std::atomic<bool> done = false;
    std::optional<PipelineRunResult> result;
    SerialQueue worker("app.ruvudav.notch.test.copypaths");
    worker.async([&] {
        result = copyPaths.run({"/x/y.txt"}, outputs(), ProgressReporter([](double, const std::string&) {}));
        done = true;
    });
    // The worker waits for the main thread, which writes from its event loop.
    ASSERT_TRUE(testsupport::waitUntil([&] { return done.load(); }));
    ASSERT_TRUE(*result) << messageOf(*result);
    EXPECT_EQ(pasteboard.itemData(FakePasteboard::textType), "/x/y.txt");
}

TEST_F(FilePipelinesTest, CopyPathWithoutAClipboardFails)
{
    // The unit tests run without a GUI application: there is no clipboard.
    const auto result = run(CopyPathsPipeline(), {"/a/b.txt"});
    EXPECT_EQ(messageOf(result), "The clipboard isn't available");
    EXPECT_EQ(progress, Progress{});
}

} // namespace
