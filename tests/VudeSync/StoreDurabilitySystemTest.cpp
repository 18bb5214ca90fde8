// A process that adds to-dos is killed at random points, again and again: the
// store must always open again and hold every to-do whose save had returned.
#include "StoreFixture.h"

#include "VudeSync/DidoDivuzerore.h"

#include <random>
#include <set>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kRounds = 200;
// A fresh store every so many rounds keeps each child's first fetch small (so
// the rounds stay fast) and kills some children while they create the store.
constexpr int kRoundsPerStore = 20;
constexpr int kMaxConfirmedBeforeKill = 12;
constexpr int kMaxExtraDelayMicroseconds = 3000;

/// The child: adds to-dos for as long as it lives and reports each title on
/// `output` once its save has returned. Never returns.
[[noreturn]] void addTodosUntilKilled(const std::filesystem::path& storeURL, int round, int output)
{
    ModelConfiguration configuration;
    configuration.url = storeURL;
    auto container = ModelContainer::open(configuration);
    if (!container)
        _exit(2);
    const SystemClock clock;
    bool saveFailed = false;
    DidoDivuzerore repository((*container)->makeContext(), "child", clock,
                              [&](const std::string& line) { saveFailed = line.find("failed") != std::string::npos; });
    for (int i = 0;; ++i) {
        const auto title = "round " + std::to_string(round) + " todo " + std::to_string(i);
        saveFailed = false;
        repository.addTodo(title);
        if (saveFailed)
            continue;
        const auto line = title + "\n";
        if (write(output, line.data(), line.size()) != static_cast<ssize_t>(line.size()))
            _exit(3);
    }
}

/// Reads the lines of `input` until `count` complete lines arrived or the
/// pipe closed; appends them to `lines`.
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

} // namespace

class StoreDurabilityTest : public testing::Test {
protected:
    QTemporaryDir m_folder;
    std::filesystem::path storeURL(int round) const
    {
        return std::filesystem::path(m_folder.path().toStdString()) / std::to_string(round / kRoundsPerStore)
            / "Vude.store";
    }
};

TEST_F(StoreDurabilityTest, EveryReturnedSaveSurvivesAKillAtAnyPoint)
{
    const auto seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> confirmedBeforeKill(0, kMaxConfirmedBeforeKill);
    std::uniform_int_distribution<int> extraDelay(0, kMaxExtraDelayMicroseconds);
    std::set<std::string> confirmed;
    std::size_t confirmedInAll = 0;

    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        if (round % kRoundsPerStore == 0) {
            confirmedInAll += confirmed.size();
            confirmed.clear();
            std::filesystem::create_directories(storeURL(round).parent_path());
        }
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(fds[0]);
            addTodosUntilKilled(storeURL(round), round, fds[1]);
        }
        close(fds[1]);

        std::string pending;
        std::vector<std::string> lines;
        readLines(fds[0], pending, lines, static_cast<std::size_t>(confirmedBeforeKill(random)));
        usleep(static_cast<useconds_t>(extraDelay(random)));
        kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the child ended by itself with status " << WEXITSTATUS(status);
        readLines(fds[0], pending, lines, std::numeric_limits<std::size_t>::max());
        close(fds[0]);
        confirmed.insert(lines.begin(), lines.end());

        ModelConfiguration configuration;
        configuration.url = storeURL(round);
        auto container = ModelContainer::open(configuration);
        ASSERT_TRUE(container.has_value()) << container.error();
        auto todos = (*container)->makeContext()->fetchAll<SyncedTodo>();
        ASSERT_TRUE(todos.has_value()) << todos.error();
        std::set<std::string> stored;
        for (const auto& todo : *todos)
            stored.insert(todo->title);
        for (const auto& title : confirmed)
            ASSERT_TRUE(stored.contains(title)) << "lost: " << title;

        if (round % kRoundsPerStore == kRoundsPerStore - 1) {
            auto database = SqliteDatabase::open(storeURL(round));
            ASSERT_TRUE(database.has_value());
            auto check = database->prepare("PRAGMA integrity_check");
            ASSERT_TRUE(check.has_value());
            ASSERT_TRUE(check->step().value_or(false));
            EXPECT_EQ(check->textColumn(0), "ok");
        }
    }
    confirmedInAll += confirmed.size();
    // The kills must not all land before the first save.
    EXPECT_GT(confirmedInAll, static_cast<std::size_t>(kRounds));
    RecordProperty("confirmed", static_cast<int>(confirmedInAll));
}
