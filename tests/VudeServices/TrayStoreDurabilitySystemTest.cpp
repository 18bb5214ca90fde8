// A process that keeps changing the tray is killed at random points, again
// and again, each time over what the last one left: "index.json" must always
// read whole, as the list before the change under way or after it. And a
// process whose data folder cannot hold a Trash never loses a file it was
// asked to trash.
#include "Platform/Core/AtomicFile.h"
#include "VudeServices/TrayStore.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

constexpr int kRounds = 60;
constexpr int kMaxReportsBeforeKill = 8;
constexpr int kMaxExtraDelayMicroseconds = 4000;
constexpr std::int64_t kMaxItems = 4;

using Ids = std::vector<std::string>;

std::string joined(const Ids& ids)
{
    std::string line;
    for (const auto& id : ids)
        line += (line.empty() ? "" : ",") + id;
    return line;
}

Ids split(const std::string& line)
{
    Ids ids;
    for (std::size_t start = 0; start < line.size();) {
        const auto end = std::min(line.find(',', start), line.size());
        ids.push_back(line.substr(start, end - start));
        start = end + 1;
    }
    return ids;
}

Ids idsOf(const std::vector<TrayItem>& items)
{
    Ids ids;
    for (const auto& item : items)
        ids.push_back(item.id.toString());
    return ids;
}

void report(int output, const std::vector<TrayItem>& items)
{
    const std::string line = joined(idsOf(items)) + "\n";
    if (write(output, line.data(), line.size()) != static_cast<ssize_t>(line.size()))
        _exit(3);
}

/// The child: reports the list it loaded, then adds a file and removes the
/// oldest item by turns, reporting each list once it is saved. Never returns.
[[noreturn]] void changeTheTrayUntilKilled(const fs::path& support, const fs::path& source, int output)
{
    TrayStore::Options options;
    options.applicationSupport = support;
    TrayStore store("Vude", options);
    store.setMaxItems(kMaxItems);
    report(output, store.items());
    for (int i = 0;; ++i) {
        if (i % 3 == 2 && !store.items().empty()) {
            store.remove(store.items().back());
        } else {
            store.add({source}, false);
            store.waitUntilIdle();
        }
        report(output, store.items());
    }
}

/// The child: a session whose data folder cannot be used, working in
/// `work`. Moves `source` into the tray and removes it again; exits 0 once
/// the tray is empty.
[[noreturn]] void trashWithAnUnusableDataFolder(const fs::path& support, const fs::path& source, const fs::path& work)
{
    if (chdir(work.c_str()) != 0 || setenv("XDG_DATA_HOME", "/proc/no-such-dir", 1) != 0)
        _exit(3);
    TrayStore::Options options;
    options.applicationSupport = support;
    TrayStore store("Vude", options);
    store.add({source}, true);
    store.waitUntilIdle();
    if (store.items().size() != 1)
        _exit(4);
    store.removeAll();
    store.waitUntilIdle();
    _exit(store.items().empty() ? 0 : 5);
}

void readLines(int input, std::string& pending, std::vector<std::string>& lines, std::size_t count)
{
    char buffer[4096];
    while (lines.size() < count) {
        const auto got = read(input, buffer, sizeof buffer);
        if (got <= 0)
            return;
        pending.append(buffer, static_cast<std::size_t>(got));
        for (auto end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
            lines.push_back(pending.substr(0, end));
            pending.erase(0, end + 1);
        }
    }
}

// Whether `next` is what one add (a new item in front, the oldest beyond the
// cap gone) or one removal makes of `before`.
bool isOneChangeOf(const Ids& next, const Ids& before)
{
    if (!next.empty() && next.size() <= before.size() + 1) {
        Ids kept(before.begin(), before.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(
                                                     before.size(), static_cast<std::size_t>(kMaxItems) - 1)));
        if (Ids(next.begin() + 1, next.end()) == kept && next.size() == kept.size() + 1)
            return true;
    }
    if (next.size() + 1 == before.size())
        for (std::size_t i = 0; i < before.size(); ++i) {
            Ids without = before;
            without.erase(without.begin() + static_cast<std::ptrdiff_t>(i));
            if (without == next)
                return true;
        }
    return false;
}

} // namespace

TEST(TrayStoreDurabilityTest, TheIndexIsAlwaysTheListBeforeOrAfterTheChangeUnderWay)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const fs::path support = fs::path(folder.path().toStdString()) / "support";
    const fs::path source = fs::path(folder.path().toStdString()) / "note.txt";
    std::ofstream(source) << "a note";
    const fs::path index = support / "Vude" / "Tray" / "index.json";

    const auto seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> reportsBeforeKill(1, kMaxReportsBeforeKill);
    std::uniform_int_distribution<int> extraDelay(0, kMaxExtraDelayMicroseconds);
    Ids confirmed;
    int changes = 0;

    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(fds[0]);
            changeTheTrayUntilKilled(support, source, fds[1]);
        }
        close(fds[1]);

        std::string pending;
        std::vector<std::string> lines;
        readLines(fds[0], pending, lines, static_cast<std::size_t>(reportsBeforeKill(random)));
        usleep(static_cast<useconds_t>(extraDelay(random)));
        kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the child ended by itself with status " << WEXITSTATUS(status);
        readLines(fds[0], pending, lines, std::numeric_limits<std::size_t>::max());
        close(fds[0]);
        ASSERT_FALSE(lines.empty()) << "the child reports what it loaded before it changes anything";

        // What the child loaded is what the last one left.
        const Ids loaded = split(lines.front());
        ASSERT_TRUE(loaded == confirmed || isOneChangeOf(loaded, confirmed))
            << "loaded [" << lines.front() << "] after [" << joined(confirmed) << "]";
        confirmed = split(lines.back());
        changes += static_cast<int>(lines.size()) - 1;

        const auto bytes = AtomicFile::read(index);
        if (!bytes) {
            ASSERT_TRUE(confirmed.empty()) << "the index is gone: " << bytes.error();
            continue;
        }
        const auto items = decodeTrayIndex(*bytes);
        ASSERT_TRUE(items) << "a torn index: " << *bytes;
        const Ids stored = idsOf(*items);
        ASSERT_TRUE(stored == confirmed || isOneChangeOf(stored, confirmed))
            << "stored [" << joined(stored) << "] after [" << joined(confirmed) << "]";
    }
    // The kills must not all land before the first change.
    EXPECT_GT(changes, kRounds);
    RecordProperty("changes", changes);
}

// Qt's moveToTrash, finding no usable data folder, put the file in "files/"
// under the working folder and said it had trashed it.
TEST(TrayStoreTrashTest, AFileQtPutInTheWorkingFolderInsteadOfTheTrashStaysInTheTray)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const fs::path base = folder.path().toStdString();
    const fs::path support = base / "support";
    const fs::path work = base / "work";
    const fs::path source = base / "only-copy.txt";
    fs::create_directories(work);
    std::ofstream(source) << "the only copy";

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        trashWithAnUnusableDataFolder(support, source, work);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    std::vector<fs::path> kept;
    for (const auto& entry : fs::recursive_directory_iterator(support / "Vude" / "Tray"))
        if (entry.path().filename() == "only-copy.txt")
            kept.push_back(entry.path());
    ASSERT_EQ(kept.size(), 1u) << "the file stays in its tray folder";
    std::ifstream in(kept[0]);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "the only copy");
    EXPECT_FALSE(fs::exists(work / "files" / "only-copy.txt"));
    EXPECT_FALSE(fs::exists(work / "info" / "only-copy.txt.trashinfo"));
}
