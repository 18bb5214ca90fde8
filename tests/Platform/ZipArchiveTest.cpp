#include "Platform/Core/ZipArchive.h"

#include "TestSupport.h"
#include "ZipFixtures.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <optional>

#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using fixtures::zip::Entry;
using FailureKind = ZipArchive::Failure::Kind;

namespace {

void writeFile(const fs::path& path, const std::string& bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

/// Everything under `root` with its kind, size and link target; the subtree
/// at `skip` is left out.
std::map<std::string, std::string> snapshot(const fs::path& root, const fs::path& skip = {})
{
    std::map<std::string, std::string> tree;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        if (!skip.empty() && it->path() == skip) {
            it.disable_recursion_pending();
            continue;
        }
        const auto status = it->symlink_status();
        std::string what = fs::is_symlink(status) ? "link " + fs::read_symlink(it->path()).string()
                           : fs::is_directory(status) ? "folder"
                                                      : "file " + std::to_string(fs::file_size(it->path()));
        tree[it->path().lexically_relative(root).string()] = what;
    }
    return tree;
}

/// The links under `folder` whose target, followed for real, leaves it.
std::vector<std::string> linksLeading(const fs::path& folder)
{
    std::vector<std::string> escaping;
    const fs::path inside = fs::canonical(folder);
    for (auto it = fs::recursive_directory_iterator(folder); it != fs::recursive_directory_iterator(); ++it) {
        if (!it->is_symlink())
            continue;
        std::error_code error;
        const fs::path resolved = fs::weakly_canonical(it->path(), error);
        const auto relative = resolved.lexically_relative(inside).string();
        if (error || relative.empty() || relative.rfind("..", 0) == 0)
            escaping.push_back(it->path().lexically_relative(folder).string());
    }
    return escaping;
}

class ZipArchiveTest : public ::testing::Test {
protected:
    QTemporaryDir temporary;
    fs::path root() const { return temporary.path().toStdString(); }
    fs::path archive() const { return root() / "in.zip"; }
    fs::path target() const { return root() / "out" / "in.unzipped"; }

    void SetUp() override { fs::create_directories(target()); }

    Expected<void, ZipArchive::Failure> unpack(const std::vector<Entry>& entries, const ZipArchive::Limits& limits = {})
    {
        EXPECT_TRUE(fixtures::zip::write(archive(), entries));
        return ZipArchive::extract(archive(), target(), limits);
    }
};

TEST(ZipArchiveNamesTest, EntryPathsStayInsideOrAreRefused)
{
    using Parts = std::vector<std::string>;
    struct Case {
        const char* path;
        std::optional<Parts> components;
    };
    const Case cases[] = {
        {"a/b.txt", Parts{"a", "b.txt"}},
        {"./a//b/", Parts{"a", "b"}},
        {"dir/", Parts{"dir"}},
        {".", Parts{}},
        {"..\\..\\x", Parts{"..\\..\\x"}}, // one odd name on Linux, not a way up
        {"a..b/..c", Parts{"a..b", "..c"}},
        {"../x", std::nullopt},
        {"a/../../y", std::nullopt},
        {"a/..", std::nullopt},
        {"/abs", std::nullopt},
        {"//abs", std::nullopt},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.path);
        EXPECT_EQ(ZipArchive::entryComponents(row.path), row.components);
    }
}

TEST(ZipArchiveNamesTest, CompressedDataIsRecognisedByNameOrContent)
{
    struct Case {
        const char* name;
        std::string head;
        bool compressed;
    };
    const Case cases[] = {
        {"photo.JPG", "", true},
        {"movie.mov", "", true},
        {"bundle.tar.gz", "", true},
        {"renamed", "\xFF\xD8\xFF\xE0", true},
        {"renamed", "\x89PNG\r\n\x1A\n", true},
        {"renamed", std::string("PK\x03\x04", 4), true},
        {"clip", std::string("\0\0\0\x18" "ftypmp42", 12), true},
        {"notes.txt", "plain words", false},
        {"report.pdf", "%PDF-1.7", false},
        {"noextension", "", false},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ZipArchive::isCompressedAlready(row.name, row.head), row.compressed);
    }
}

TEST_F(ZipArchiveTest, PackedFoldersUnpackAsTheyWere)
{
    const fs::path dropped = root() / "dropped";
    writeFile(dropped / "photos" / "a.txt", "alpha");
    writeFile(dropped / "photos" / "deeper" / "b.txt", "beta");
    fs::create_directories(dropped / "photos" / "empty");
    writeFile(dropped / "docs" / "run.sh", "#!/bin/sh\n");
    fs::permissions(dropped / "docs" / "run.sh", fs::perms(0755));
    fs::create_symlink("deeper/b.txt", dropped / "photos" / "b-link");
    writeFile(dropped / "notes.txt", "notes");

    const fs::path zip = root() / "out" / "Archive.zip";
    ASSERT_TRUE(ZipArchive::create({dropped / "photos", dropped / "docs", dropped / "notes.txt"}, zip));
    ASSERT_TRUE(ZipArchive::extract(zip, target()));

    auto expected = snapshot(dropped);
    EXPECT_EQ(snapshot(target()), expected);
    EXPECT_EQ(fixtures::zip::readAll(target() / "photos" / "deeper" / "b.txt"), "beta");
    EXPECT_EQ(fs::status(target() / "docs" / "run.sh").permissions() & fs::perms::owner_exec, fs::perms::owner_exec);
}

TEST_F(ZipArchiveTest, CompressedFilesAreStoredAndTheRestDeflated)
{
    // Two megabytes of zeros each: deflated they take a few kilobytes, stored
    // all of it. The JPEG is recognised by its name, the PNG by its content.
    const std::string zeros(2 << 20, '\0');
    writeFile(root() / "text.log", zeros);
    writeFile(root() / "photo.jpg", "\xFF\xD8\xFF" + zeros);
    writeFile(root() / "renamed.bin", "\x89PNG" + zeros);
    const auto sizeOfZip = [this](const fs::path& input) {
        const fs::path zip = root() / "out" / (input.filename().string() + ".zip");
        EXPECT_TRUE(ZipArchive::create({input}, zip));
        return fs::file_size(zip);
    };
    EXPECT_LT(sizeOfZip(root() / "text.log"), 100u * 1024);
    EXPECT_GT(sizeOfZip(root() / "photo.jpg"), zeros.size());
    EXPECT_GT(sizeOfZip(root() / "renamed.bin"), zeros.size());
}

TEST_F(ZipArchiveTest, InputsOfTheSameNameAreBothKept)
{
    writeFile(root() / "a" / "report.pdf", "first");
    writeFile(root() / "b" / "report.pdf", "second");
    const fs::path zip = root() / "out" / "Archive.zip";
    ASSERT_TRUE(ZipArchive::create({root() / "a" / "report.pdf", root() / "b" / "report.pdf"}, zip));
    ASSERT_TRUE(ZipArchive::extract(zip, target()));
    EXPECT_EQ(fixtures::zip::readAll(target() / "report.pdf"), "first");
    EXPECT_EQ(fixtures::zip::readAll(target() / "report-1.pdf"), "second");
}

TEST_F(ZipArchiveTest, PackingFailsWholeAndNeverReplaces)
{
    writeFile(root() / "here.txt", "x");
    const fs::path zip = root() / "out" / "Archive.zip";
    const auto missing = ZipArchive::create({root() / "here.txt", root() / "gone.txt"}, zip);
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error(), (ZipArchive::Failure{FailureKind::readFailed, "gone.txt", {}}));
    EXPECT_FALSE(fs::exists(zip)) << "no half archive";
    EXPECT_EQ(testsupport::folderEntries(root() / "out"), std::vector<std::string>{"in.unzipped"});

    writeFile(zip, "precious");
    const auto taken = ZipArchive::create({root() / "here.txt"}, zip);
    ASSERT_FALSE(taken);
    EXPECT_EQ(taken.error().kind, FailureKind::writeFailed);
    EXPECT_EQ(fixtures::zip::readAll(zip), "precious");
}

TEST_F(ZipArchiveTest, SpecialFilesAreLeftOutOfFoldersButRefusedAsInputs)
{
    writeFile(root() / "folder" / "a.txt", "a");
    ASSERT_EQ(::mkfifo((root() / "folder" / "pipe").c_str(), 0600), 0);
    const fs::path folderZip = root() / "out" / "folder.zip";
    ASSERT_TRUE(ZipArchive::create({root() / "folder"}, folderZip));
    ASSERT_TRUE(ZipArchive::extract(folderZip, target()));
    EXPECT_EQ(testsupport::folderEntries(target() / "folder"), std::vector<std::string>{"a.txt"});

    writeFile(root() / "here.txt", "x");
    fs::create_symlink(root() / "folder" / "pipe", root() / "to pipe");
    struct Case {
        const char* why;
        std::vector<fs::path> inputs;
        ZipArchive::Failure failure;
    };
    // Never opened, so nothing blocks on them; and never an empty archive
    // as if all had gone well.
    const Case cases[] = {
        {"a named pipe alone", {root() / "folder" / "pipe"}, {FailureKind::notFileOrFolder, "pipe", "a named pipe"}},
        {"a device after a file", {root() / "here.txt", "/dev/null"}, {FailureKind::notFileOrFolder, "null", "a device"}},
        {"a link to a named pipe", {root() / "to pipe"}, {FailureKind::notFileOrFolder, "to pipe", "a named pipe"}},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.why);
        const fs::path zip = root() / "out" / "special.zip";
        const auto packed = ZipArchive::create(row.inputs, zip);
        ASSERT_FALSE(packed);
        EXPECT_EQ(packed.error(), row.failure);
        EXPECT_FALSE(fs::exists(zip));
    }
}

TEST_F(ZipArchiveTest, AnArchiveWrittenInsideTheFolderItPacksLeavesItselfOut)
{
    writeFile(root() / "out" / "a.txt", "a");
    const fs::path zip = root() / "out" / "out.zip";
    ASSERT_TRUE(ZipArchive::create({root() / "out"}, zip));
    ASSERT_TRUE(ZipArchive::extract(zip, target()));
    EXPECT_EQ(testsupport::folderEntries(target() / "out"), (std::vector<std::string>{"a.txt", "in.unzipped"}));
}

// Every hostile archive is refused with its reason, nothing appears outside
// the folder, and no link left inside it leads out.
TEST_F(ZipArchiveTest, HostileArchivesAreRefusedWithoutWritingOutside)
{
    const std::string etcProbe = "vude-zip-test-" + std::to_string(::getpid());
    const std::string outside = (root() / "escaped.txt").string();
    struct Case {
        const char* why;
        std::vector<Entry> entries;
        FailureKind kind;
        std::string name;
        std::vector<std::string> leftInside; // what may stay in the folder
    };
    const Case cases[] = {
        {"a parent step", {Entry::file("ok.txt", "ok"), Entry::file("../escaped.txt", "x")}, FailureKind::unsafeEntry,
         "../escaped.txt", {"ok.txt"}},
        {"an absolute path", {Entry::file(outside, "x")}, FailureKind::unsafeEntry, outside, {}},
        {"a parent step after a folder", {Entry::file("a/../../escaped.txt", "x")}, FailureKind::unsafeEntry,
         "a/../../escaped.txt", {}},
        {"a link to /etc, then a file through it",
         {Entry::link("etc", "/etc"), Entry::file("etc/" + etcProbe, "root::0:0::/:/bin/sh")}, FailureKind::unsafeLink, "etc", {}},
        {"a link out by an absolute path, then a file through it",
         {Entry::link("up", root().string()), Entry::file("up/escaped.txt", "x")}, FailureKind::unsafeLink, "up", {}},
        {"a link out by parent steps", {Entry::link("a/up", "../../.."), Entry::file("a/up/escaped.txt", "x")},
         FailureKind::unsafeLink, "a/up", {}},
        {"a chain: the second link leaves through the first",
         {Entry::link("l1", "."), Entry::link("l2", "l1/.."), Entry::file("l2/escaped.txt", "x")}, FailureKind::unsafeLink,
         "l2", {"l1"}},
        {"a chain made backwards, checked again at the end",
         {Entry::link("l2", "l1/.."), Entry::link("l1", ".")}, FailureKind::unsafeLink, "l2", {"l1"}},
        {"a chain made backwards with a file through it",
         {Entry::link("l2", "l1/.."), Entry::link("l1", "."), Entry::file("l2/escaped.txt", "x")}, FailureKind::unsafeEntry,
         "l2/escaped.txt", {"l1"}},
        {"a chain through a folder link",
         {Entry::folder("sub"), Entry::link("sub/home", ".."), Entry::link("out", "sub/home/..")}, FailureKind::unsafeLink,
         "out", {"sub", "sub/home"}},
        {"a loop of links, found at the end", {Entry::link("a", "b"), Entry::link("b", "a")}, FailureKind::unsafeLink, "a", {"b"}},
        {"a file written through a harmless link",
         {Entry::folder("real"), Entry::link("docs", "real"), Entry::file("docs/x.txt", "x")}, FailureKind::unsafeEntry,
         "docs/x.txt", {"docs", "real"}},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.why);
        fs::remove_all(target());
        fs::create_directories(target());
        const auto before = snapshot(root(), target());

        const auto result = unpack(row.entries);
        ASSERT_FALSE(result);
        EXPECT_EQ(result.error().kind, row.kind);
        EXPECT_EQ(result.error().name, row.name);

        fs::remove(archive());
        EXPECT_EQ(snapshot(root(), target()), before) << "something appeared outside";
        EXPECT_FALSE(fs::exists("/etc/" + etcProbe));
        EXPECT_EQ(linksLeading(target()), std::vector<std::string>{});
        std::vector<std::string> inside;
        for (const auto& [path, what] : snapshot(target()))
            inside.push_back(path);
        EXPECT_EQ(inside, row.leftInside);
        fs::remove("/etc/" + etcProbe);
    }
}

TEST_F(ZipArchiveTest, LinksThatStayInsideAreMade)
{
    ASSERT_TRUE(unpack({Entry::file("lib/libfoo.so.1", "elf"), Entry::link("lib/libfoo.so", "libfoo.so.1"),
                        Entry::link("lib/self", "../lib/./"), Entry::link("dangling", "not/there/yet")}));
    EXPECT_EQ(fs::read_symlink(target() / "lib" / "libfoo.so"), "libfoo.so.1");
    EXPECT_EQ(fixtures::zip::readAll(target() / "lib" / "libfoo.so"), "elf");
    EXPECT_EQ(fs::read_symlink(target() / "lib" / "self"), "../lib/./");
    EXPECT_TRUE(fs::is_symlink(target() / "dangling"));
}

TEST_F(ZipArchiveTest, ABombIsStoppedByItsBudgetBeforeTheDiskFills)
{
    // A gigabyte of zeros, about a megabyte packed.
    const std::uint64_t gigabyte = 1ull << 30;
    ASSERT_TRUE(fixtures::zip::write(archive(), {Entry::file("first.txt", "kept"), Entry::zeroes("zeros.bin", gigabyte)}));
    ASSERT_LT(fs::file_size(archive()), 2u << 20);

    // Honest sizes: refused when its header is read, before any byte.
    const auto honest = ZipArchive::extract(archive(), target());
    ASSERT_FALSE(honest);
    EXPECT_EQ(honest.error(), (ZipArchive::Failure{FailureKind::tooLarge, "in.zip", {}}));
    EXPECT_EQ(testsupport::folderEntries(target()), std::vector<std::string>{"first.txt"});

    // Lying sizes: stopped by counting what it writes; the cut-off file
    // never gets a name.
    ASSERT_TRUE(fixtures::zip::write(archive(), {Entry::zeroes("zeros.bin", gigabyte)}));
    fixtures::zip::declareUncompressedSize(archive(), 100);
    fs::remove_all(target());
    fs::create_directories(target());
    ZipArchive::Limits limits;
    limits.minBudgetBytes = 32ull << 20;
    const auto lying = ZipArchive::extract(archive(), target(), limits);
    ASSERT_FALSE(lying);
    EXPECT_EQ(lying.error().kind, FailureKind::tooLarge);
    EXPECT_EQ(testsupport::folderEntries(target()), std::vector<std::string>{});
}

TEST_F(ZipArchiveTest, BudgetsOfEntriesAndDiskSpace)
{
    const std::vector<Entry> three{Entry::file("a", "1"), Entry::file("b", "2"), Entry::file("c", "3")};
    ZipArchive::Limits fewEntries;
    fewEntries.maxEntries = 2;
    const auto many = unpack(three, fewEntries);
    ASSERT_FALSE(many);
    EXPECT_EQ(many.error().kind, FailureKind::tooLarge);

    fs::remove_all(target());
    fs::create_directories(target());
    ZipArchive::Limits fullDisk;
    fullDisk.keepFreeBytes = UINT64_MAX / 2;
    const auto full = unpack({Entry::file("a", "1")}, fullDisk);
    ASSERT_FALSE(full);
    EXPECT_EQ(full.error(), (ZipArchive::Failure{FailureKind::noSpace, "in.zip", {}}));
    EXPECT_EQ(testsupport::folderEntries(target()), std::vector<std::string>{});
}

TEST_F(ZipArchiveTest, OddButHarmlessArchives)
{
    // Another system's resource forks are left out; permissions keep the
    // execute bits but never set-id bits, and the owner can always empty a
    // folder again.
    Entry tool = Entry::file("bin/tool", "#!/bin/sh\n");
    tool.perm = 04755;
    Entry locked = Entry::folder("locked");
    locked.perm = 0555;
    ASSERT_TRUE(unpack({Entry::file("__MACOSX/._a.txt", "fork"), Entry::file("a.txt", "a"), tool, locked,
                        Entry::file("locked/inside.txt", "i")}));
    EXPECT_EQ(testsupport::folderEntries(target()), (std::vector<std::string>{"a.txt", "bin", "locked"}));
    struct stat info {};
    ASSERT_EQ(::stat((target() / "bin" / "tool").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0755u);
    EXPECT_EQ(info.st_mtime, 1700000000);
    ASSERT_EQ(::stat((target() / "locked").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0700, 0700u);
}

TEST_F(ZipArchiveTest, UnreadableAndClashingArchives)
{
    writeFile(archive(), "this is no zip archive");
    const auto notZip = ZipArchive::extract(archive(), target());
    ASSERT_FALSE(notZip);
    EXPECT_EQ(notZip.error().kind, FailureKind::readFailed);
    EXPECT_EQ(notZip.error().name, "in.zip");

    const auto missing = ZipArchive::extract(root() / "missing.zip", target());
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().name, "missing.zip");

}

// The folder is new, so a name taken there was taken by the archive itself:
// the first entry is kept, and the failure says the archive holds the name
// twice rather than that something could not be written.
TEST_F(ZipArchiveTest, AnArchiveThatHoldsANameTwiceSaysSo)
{
    struct Case {
        const char* why;
        std::vector<Entry> entries;
        std::string name;
        std::vector<std::string> kept;
    };
    const Case cases[] = {
        {"a file twice", {Entry::file("same.txt", "first"), Entry::file("same.txt", "second")}, "same.txt",
         {"same.txt"}},
        {"a file twice in a folder", {Entry::file("docs/same.txt", "first"), Entry::file("./docs//same.txt", "x")},
         "docs/same.txt", {"docs", "docs/same.txt"}},
        {"a file, then a folder of its name", {Entry::file("a", "first"), Entry::folder("a/")}, "a", {"a"}},
        {"a file, then a file inside it", {Entry::file("a", "first"), Entry::file("a/b.txt", "x")}, "a", {"a"}},
        {"a folder, then a file of its name", {Entry::folder("a/"), Entry::file("a", "x")}, "a", {"a"}},
        {"a link, then a file of its name", {Entry::link("l", "target"), Entry::file("l", "x")}, "l", {"l"}},
        {"a file, then a link of its name", {Entry::file("l", "first"), Entry::link("l", "target")}, "l", {"l"}},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.why);
        fs::remove_all(target());
        fs::create_directories(target());
        const auto result = unpack(row.entries);
        ASSERT_FALSE(result);
        EXPECT_EQ(result.error(), (ZipArchive::Failure{FailureKind::duplicateEntry, row.name, {}}));
        std::vector<std::string> inside;
        for (const auto& [path, what] : snapshot(target()))
            inside.push_back(path);
        EXPECT_EQ(inside, row.kept);
    }
    fs::remove_all(target());
    fs::create_directories(target());
    ASSERT_TRUE(unpack({Entry::file("same.txt", "first"), Entry::file("b.txt", "b")}));
    EXPECT_EQ(fixtures::zip::readAll(target() / "same.txt"), "first");

    // A folder named again (as zip writers do, before or after its files)
    // is no clash.
    fs::remove_all(target());
    fs::create_directories(target());
    ASSERT_TRUE(unpack({Entry::folder("a/"), Entry::file("a/b.txt", "b"), Entry::folder("a/")}));
    EXPECT_EQ(fixtures::zip::readAll(target() / "a" / "b.txt"), "b");
}

// Empty folders cost no file bytes but do cost disk: each folder made is
// charged against the budget, and paths are only so deep.
TEST_F(ZipArchiveTest, AFolderBombIsStoppedByItsBudget)
{
    ZipArchive::Limits limits;
    limits.maxBytes = 16 * limits.folderBytes;
    std::vector<Entry> folders;
    for (int i = 0; i < 100; ++i)
        folders.push_back(Entry::folder("d" + std::to_string(i) + "/"));
    const auto many = unpack(folders, limits);
    ASSERT_FALSE(many);
    EXPECT_EQ(many.error(), (ZipArchive::Failure{FailureKind::tooLarge, "in.zip", {}}));
    EXPECT_EQ(testsupport::folderEntries(target()).size(), 16u) << "stopped before the folder over budget";

    // Folders made on the way to a file count too; folders already there
    // cost nothing again.
    fs::remove_all(target());
    fs::create_directories(target());
    std::vector<Entry> nested;
    for (int i = 0; i < 100; ++i)
        nested.push_back(Entry::file("p" + std::to_string(i) + "/q/r/f.txt", ""));
    const auto paths = unpack(nested, limits);
    ASSERT_FALSE(paths);
    EXPECT_EQ(paths.error().kind, FailureKind::tooLarge);
    EXPECT_EQ(testsupport::folderEntries(target()).size(), 6u) << "16 folders: 5 whole paths, and one more";
    fs::remove_all(target());
    fs::create_directories(target());
    ASSERT_TRUE(unpack({Entry::file("a/b/1.txt", "1"), Entry::file("a/b/2.txt", "2"), Entry::folder("a/b/")}, [] {
        ZipArchive::Limits two;
        two.maxBytes = 2 * two.folderBytes + 2;
        return two;
    }()));
}

TEST_F(ZipArchiveTest, PathsDeeperThanTheBoundAreRefused)
{
    const ZipArchive::Limits limits;
    const auto deepPath = [](std::size_t components) {
        std::string path;
        for (std::size_t i = 1; i < components; ++i)
            path += "d/";
        return path + "f.txt";
    };
    ASSERT_TRUE(unpack({Entry::file(deepPath(limits.maxPathComponents), "deepest allowed")}, limits));

    for (const auto& entry : {Entry::file(deepPath(limits.maxPathComponents + 1), "x"),
                              Entry::folder(deepPath(limits.maxPathComponents + 1) + "/"),
                              Entry::link(deepPath(limits.maxPathComponents + 1), "f.txt")}) {
        SCOPED_TRACE(entry.path.size());
        fs::remove_all(target());
        fs::create_directories(target());
        const auto deep = unpack({entry}, limits);
        ASSERT_FALSE(deep);
        EXPECT_EQ(deep.error(), (ZipArchive::Failure{FailureKind::tooLarge, "in.zip", {}}));
        EXPECT_EQ(testsupport::folderEntries(target()), std::vector<std::string>{}) << "refused before any folder";
    }
}

} // namespace
