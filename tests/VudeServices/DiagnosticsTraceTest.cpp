#include "VudeServices/DiagnosticsTrace.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

// 2026-03-01 09:30:05 UTC; the tests run with TZ=UTC.
const Date kMorning = Date{std::chrono::sys_days{std::chrono::year{2026} / 3 / 1}} + 9h + 30min + 5s;

std::string readFile(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream contents;
    contents << file.rdbuf();
    return contents.str();
}

void writeFile(const fs::path& path, const std::string& contents)
{
    std::ofstream(path, std::ios::binary) << contents;
}

class DiagnosticsTraceTest : public ::testing::Test {
protected:
    QTemporaryDir root;
    ManualClock clock{kMorning};
    std::map<std::string, std::string> environment;
    bool optedIn = false;

    fs::path folder() const { return fs::path(root.path().toStdString()); }
    fs::path logFile() const { return folder() / DiagnosticsTrace::kFileName; }

    DiagnosticsTrace makeTrace()
    {
        return DiagnosticsTrace([this](const std::string& name) { return Environment::fixed(environment)(name); },
                                [this] { return optedIn; }, clock,
                                [this]() -> Expected<fs::path, std::string> { return folder(); });
    }
};

TEST_F(DiagnosticsTraceTest, IsOnWhenTheVariableIsPresentOrTheUserOptedIn)
{
    struct Row {
        const char* why;
        std::map<std::string, std::string> environment;
        bool optedIn;
        bool on;
    };
    const Row rows[] = {
        {"neither", {}, false, false},
        {"variable set", {{"VUDE_TRACE", "1"}}, false, true},
        {"variable set but empty", {{"VUDE_TRACE", ""}}, false, true},
        {"opted in", {}, true, true},
        {"another variable", {{"VUDE_TRACE_OFF", "1"}}, false, false},
    };
    auto trace = makeTrace();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        environment = row.environment;
        optedIn = row.optedIn;
        EXPECT_EQ(trace.isOn(), row.on) << "looked up again on every call";
    }
}

TEST_F(DiagnosticsTraceTest, CreatesNoFileWhileOff)
{
    makeTrace().trace("nobody listens");
    EXPECT_FALSE(fs::exists(fs::symlink_status(logFile())));
}

TEST_F(DiagnosticsTraceTest, AppendsTimeOfDayAndMessageLines)
{
    environment = {{"VUDE_TRACE", ""}};
    auto trace = makeTrace();
    trace.trace("bridge started");
    clock.advance(400ms);
    trace.trace("sound 0.62");
    clock.advance(14h);
    trace.trace("after midnight\r\nsecond part");
    EXPECT_EQ(readFile(logFile()), "09:30:05  bridge started\n"
                                   "09:30:05  sound 0.62\n"
                                   "23:30:05  after midnight  second part\n");
}

TEST_F(DiagnosticsTraceTest, CreatesThePrivateFileWhateverTheUmask)
{
    optedIn = true;
    const mode_t previous = ::umask(0);
    makeTrace().trace("first");
    ::umask(previous);
    struct stat info {};
    ASSERT_EQ(::lstat(logFile().c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(DiagnosticsTraceTest, ClosesAnExistingFileOpenToOthers)
{
    optedIn = true;
    writeFile(logFile(), "08:00:00  older\n");
    ASSERT_EQ(::chmod(logFile().c_str(), 0644), 0);
    makeTrace().trace("newer");
    struct stat info {};
    ASSERT_EQ(::stat(logFile().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(readFile(logFile()), "08:00:00  older\n09:30:05  newer\n");
}

TEST_F(DiagnosticsTraceTest, NeverWritesOrReadsThroughAPlantedSymlinkOrFifo)
{
    optedIn = true;
    QTemporaryDir elsewhere;
    const fs::path victim = fs::path(elsewhere.path().toStdString()) / "victim";
    writeFile(victim, "precious\n");
    fs::create_symlink(victim, logFile());

    auto trace = makeTrace();
    trace.trace("should go nowhere");
    EXPECT_EQ(readFile(victim), "precious\n");
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(logFile())));
    EXPECT_TRUE(trace.recentLogLines(40).empty());

    // A FIFO would block an ordinary open for writing until a reader came.
    fs::remove(logFile());
    ASSERT_EQ(::mkfifo(logFile().c_str(), 0600), 0);
    trace.trace("should not block");
    EXPECT_TRUE(trace.recentLogLines(40).empty());
}

TEST_F(DiagnosticsTraceTest, AMissingFolderLosesTheLineQuietly)
{
    optedIn = true;
    DiagnosticsTrace noFolder([](const std::string&) { return std::nullopt; }, [] { return true; }, clock,
                              []() -> Expected<fs::path, std::string> { return unexpected(std::string("none")); });
    noFolder.trace("lost");
    EXPECT_TRUE(noFolder.recentLogLines(40).empty());

    DiagnosticsTrace goneFolder([](const std::string&) { return std::nullopt; }, [] { return true; }, clock,
                                [this]() -> Expected<fs::path, std::string> { return folder() / "gone"; });
    goneFolder.trace("lost too");
    EXPECT_FALSE(fs::exists(folder() / "gone"));
}

TEST_F(DiagnosticsTraceTest, TwoWritersInterleaveOnlyWholeLines)
{
    optedIn = true;
    const auto trace = makeTrace();
    constexpr int kLinesEach = 300;
    const auto writer = [&trace](char letter) {
        const std::string body(300, letter);
        for (int i = 0; i < kLinesEach; ++i)
            trace.trace(body);
    };
    std::thread first(writer, 'a');
    std::thread second(writer, 'b');
    first.join();
    second.join();

    std::istringstream lines(readFile(logFile()));
    int count = 0;
    for (std::string line; std::getline(lines, line); ++count) {
        const auto body = line.substr(std::string("09:30:05  ").size());
        ASSERT_TRUE(body == std::string(300, 'a') || body == std::string(300, 'b')) << "line " << count;
    }
    EXPECT_EQ(count, 2 * kLinesEach);
}

TEST_F(DiagnosticsTraceTest, RecentLinesAreTheLastNonEmptyOnesOldestFirst)
{
    std::string contents;
    for (int i = 1; i <= 100; ++i) {
        contents += "line " + std::to_string(i) + "\n";
        if (i % 7 == 0)
            contents += "\n\n";
    }
    writeFile(logFile(), contents);
    const auto trace = makeTrace();

    std::vector<std::string> expected;
    for (int i = 61; i <= 100; ++i)
        expected.push_back("line " + std::to_string(i));
    EXPECT_EQ(trace.recentLogLines(40), expected);
    EXPECT_EQ(trace.recentLogLines(500).size(), 100u) << "all lines when there are fewer";
    EXPECT_EQ(trace.recentLogLines(500).front(), "line 1");
    EXPECT_TRUE(trace.recentLogLines(0).empty());
}

TEST_F(DiagnosticsTraceTest, RecentLinesOfAMissingOrEmptyFileAreNone)
{
    const auto trace = makeTrace();
    EXPECT_TRUE(trace.recentLogLines(40).empty());
    writeFile(logFile(), "");
    EXPECT_TRUE(trace.recentLogLines(40).empty());
    writeFile(logFile(), "\n\n\n");
    EXPECT_TRUE(trace.recentLogLines(40).empty());
}

TEST_F(DiagnosticsTraceTest, ReadsOnlyTheEndOfAHugeFile)
{
    // 4 MiB of lines crossing every read block, then one line longer than the
    // whole tail budget, then three lines. The long line comes back cut to
    // its start, and the lines before it still come back.
    std::string contents;
    int fillers = 0;
    for (; contents.size() < 4 * 1024 * 1024; ++fillers)
        contents += "09:00:00  filler " + std::to_string(fillers) + "\n";
    contents += std::string(DiagnosticsTrace::kMaxTailBytes + 10, 'x') + "\n";
    contents += "one\ntwo\nthree\n";
    writeFile(logFile(), contents);
    std::vector<std::string> expected;
    for (int i = fillers - 36; i < fillers; ++i)
        expected.push_back("09:00:00  filler " + std::to_string(i));
    expected.push_back(std::string(DiagnosticsTrace::kMaxLineBytes - 3, 'x') + "\u2026");
    expected.insert(expected.end(), {"one", "two", "three"});
    EXPECT_EQ(makeTrace().recentLogLines(40), expected);

    // Forty 2 KB lines span two read blocks; the line cut by the block
    // boundary comes back whole.
    const auto entry = [](int i) { return "entry " + std::to_string(i) + " " + std::string(2000, 'y'); };
    std::string lines;
    for (int i = 0; i < 200; ++i)
        lines += entry(i) + "\n";
    writeFile(logFile(), lines);
    std::vector<std::string> lastForty;
    for (int i = 160; i < 200; ++i)
        lastForty.push_back(entry(i));
    EXPECT_EQ(makeTrace().recentLogLines(40), lastForty);
}

// A last line longer than the whole tail once hid every line.
TEST_F(DiagnosticsTraceTest, ALastLineLongerThanTheTailComesBackCutAfterTheLinesBeforeIt)
{
    const std::string huge = "09:00:02  " + std::string(2 * DiagnosticsTrace::kMaxTailBytes, 'z');
    for (const char* ending : {"\n", ""}) {
        SCOPED_TRACE(*ending ? "ending in a line feed" : "cut off mid-line");
        writeFile(logFile(), "09:00:00  first\n09:00:01  second\n" + huge + ending);
        const auto lines = makeTrace().recentLogLines(40);
        ASSERT_EQ(lines.size(), 3u);
        EXPECT_EQ(lines[0], "09:00:00  first");
        EXPECT_EQ(lines[1], "09:00:01  second");
        EXPECT_EQ(lines[2], huge.substr(0, DiagnosticsTrace::kMaxLineBytes - 3) + "\u2026");
    }

    // Many long lines: each comes back cut, and together no more than the tail.
    std::string longLines;
    for (int i = 0; i < 200; ++i)
        longLines += std::to_string(i) + std::string(3 * DiagnosticsTrace::kMaxLineBytes, 'w') + "\n";
    writeFile(logFile(), longLines);
    const auto lines = makeTrace().recentLogLines(200);
    std::size_t total = 0;
    for (const auto& line : lines) {
        EXPECT_LE(line.size(), DiagnosticsTrace::kMaxLineBytes);
        total += line.size();
    }
    EXPECT_LE(total, DiagnosticsTrace::kMaxTailBytes);
    ASSERT_EQ(lines.size(), DiagnosticsTrace::kMaxTailBytes / DiagnosticsTrace::kMaxLineBytes);
    EXPECT_TRUE(lines.back().starts_with("199www"));
}

// What a message holds must not act on the terminal or the report showing it.
TEST_F(DiagnosticsTraceTest, ControlCharactersAreReplacedWhenWritten)
{
    struct Row {
        const char* why;
        std::string message;
        std::string written;
    };
    const std::string replacement = "\uFFFD";
    const Row rows[] = {
        {"an escape sequence", "\x1B[2J\x1B[31mred\x1B]0;title\x07", replacement + "[2J" + replacement + "[31mred" + replacement
                                                                    + "]0;title" + replacement},
        {"a C1 control", "a\u009Bb\u0085c", "a" + replacement + "b" + replacement + "c"},
        {"NUL, backspace and DEL", std::string("a\0b\bc\x7F", 6), "a" + replacement + "b" + replacement + "c" + replacement},
        {"line and paragraph separators", "one\u2028two\u2029three", "one" + replacement + "two" + replacement + "three"},
        {"bidirectional overrides and isolates", "\u202Eevil\u202C \u2066x\u2069 \u200F\u061C",
         replacement + "evil" + replacement + " " + replacement + "x" + replacement + " " + replacement + replacement},
        {"line breaks and tabs", "a\rb\nc\td", "a b c d"},
        {"invalid UTF-8", "title \xFF\xC3", "title " + replacement + replacement},
        {"ordinary text", "[media] Caf\u00E9 \u2014 \u65E5\u672C \U0001F3B5", "[media] Caf\u00E9 \u2014 \u65E5\u672C \U0001F3B5"},
    };
    optedIn = true;
    auto trace = makeTrace();
    std::string expected;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(DiagnosticsTrace::formatLine(kMorning, row.message), "09:30:05  " + row.written + "\n");
        trace.trace(row.message);
        expected += "09:30:05  " + row.written + "\n";
    }
    EXPECT_EQ(readFile(logFile()), expected);

    const std::string longMessage(2 * DiagnosticsTrace::kMaxLineBytes, 'm');
    const std::string line = DiagnosticsTrace::formatLine(kMorning, longMessage);
    EXPECT_EQ(line.size(), DiagnosticsTrace::kMaxLineBytes);
    EXPECT_TRUE(line.ends_with("m\u2026\n"));
}

// Once full, the file moves aside whole (replacing the one before) and a new
// one starts; the tail reads on into the moved file.
TEST_F(DiagnosticsTraceTest, AFullFileIsRotatedAndTheTailReadsAcrossTheRotation)
{
    optedIn = true;
    auto trace = makeTrace();
    const auto body = [](int i) { return "line " + std::to_string(i) + " " + std::string(1000, 'r'); };
    const fs::path rotated = folder() / DiagnosticsTrace::kRotatedFileName;
    int written = 0;
    // Past two rotations, stopping just after the second.
    for (int rotations = 0; rotations < 2; ++written) {
        const bool hadRotated = fs::exists(rotated);
        const auto before = fs::exists(logFile()) ? fs::file_size(logFile()) : 0;
        trace.trace(body(written));
        if (fs::file_size(logFile()) < before || (!hadRotated && fs::exists(rotated)))
            ++rotations;
    }
    EXPECT_LE(fs::file_size(logFile()), DiagnosticsTrace::kMaxFileBytes);
    EXPECT_LE(fs::file_size(rotated), DiagnosticsTrace::kMaxFileBytes);
    EXPECT_GT(fs::file_size(rotated), DiagnosticsTrace::kMaxFileBytes - 2000) << "moved aside only when full";

    const auto tail = trace.recentLogLines(40);
    ASSERT_EQ(tail.size(), 40u);
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(tail[std::size_t(i)], "09:30:05  " + body(written - 40 + i));

    // The moved file starts where the one before it ended: nothing between
    // is lost, and the oldest lines are gone.
    const std::string rotatedText = readFile(rotated);
    const std::string currentText = readFile(logFile());
    const auto firstRotated = std::stoi(rotatedText.substr(std::string("09:30:05  line ").size()));
    const auto firstCurrent = std::stoi(currentText.substr(std::string("09:30:05  line ").size()));
    EXPECT_GT(firstRotated, 0);
    EXPECT_EQ(std::count(rotatedText.begin(), rotatedText.end(), '\n'), firstCurrent - firstRotated);
    EXPECT_EQ(std::count(currentText.begin(), currentText.end(), '\n'), written - firstCurrent);
}

// The file holds only times of day, so the tail says which lines this run
// wrote: everything from its first line on.
TEST_F(DiagnosticsTraceTest, TheTailTellsWhereThisRunsLinesBegin)
{
    optedIn = true;
    writeFile(logFile(), "09:00:00  earlier one\n09:00:01  earlier two\n");
    auto trace = makeTrace();
    EXPECT_EQ(trace.recentLog(40), (DiagnosticsTrace::Tail{{"09:00:00  earlier one", "09:00:01  earlier two"}, 2}))
        << "nothing written yet: none is this run's";

    trace.trace("mine");
    // A copy is the same trace, and another run's trace is not.
    const DiagnosticsTrace copy = trace;
    copy.trace("mine too");
    auto later = makeTrace();
    later.trace("next run");
    const std::vector<std::string> lines{"09:00:00  earlier one", "09:00:01  earlier two", "09:30:05  mine",
                                         "09:30:05  mine too", "09:30:05  next run"};
    EXPECT_EQ(trace.recentLog(40), (DiagnosticsTrace::Tail{lines, 2}));
    EXPECT_EQ(copy.recentLog(40), (DiagnosticsTrace::Tail{lines, 2}));
    EXPECT_EQ(later.recentLog(40), (DiagnosticsTrace::Tail{lines, 4}));
    EXPECT_EQ(trace.recentLog(2), (DiagnosticsTrace::Tail{{"09:30:05  mine too", "09:30:05  next run"}, 0}))
        << "a tail shorter than this run is all this run's";
    EXPECT_EQ(trace.recentLogLines(40), lines);
}

TEST_F(DiagnosticsTraceTest, ThisRunsLinesAreFoundAcrossARotation)
{
    optedIn = true;
    // An earlier run filled the file almost to the brim.
    std::string earlier;
    for (int i = 0; earlier.size() < DiagnosticsTrace::kMaxFileBytes - 3000; ++i)
        earlier += "09:00:00  earlier " + std::to_string(i) + " " + std::string(1000, 'e') + "\n";
    writeFile(logFile(), earlier);
    const fs::path rotated = folder() / DiagnosticsTrace::kRotatedFileName;

    auto trace = makeTrace();
    trace.trace("first of mine"); // still fits
    int mine = 1;
    while (!fs::exists(rotated)) {
        trace.trace("mine " + std::to_string(mine) + " " + std::string(1000, 'm'));
        ++mine;
    }
    trace.trace("after the rotation");
    ++mine;

    // The run began in what is now the rotated file.
    auto tail = trace.recentLog(std::size_t(mine));
    EXPECT_EQ(tail.thisRunFrom, 0u);
    tail = trace.recentLog(std::size_t(mine) + 3);
    ASSERT_EQ(tail.lines.size(), std::size_t(mine) + 3);
    EXPECT_EQ(tail.thisRunFrom, 3u);
    EXPECT_EQ(tail.lines[3], "09:30:05  first of mine");
    EXPECT_EQ(tail.lines.back(), "09:30:05  after the rotation");

    // A second rotation drops the file the run began in: every line left is
    // this run's.
    for (bool rotatedAgain = false; !rotatedAgain;) {
        const auto before = fs::file_size(logFile());
        trace.trace(std::string(1000, 'x'));
        rotatedAgain = fs::file_size(logFile()) < before;
    }
    tail = trace.recentLog(5000);
    EXPECT_GT(tail.lines.size(), 100u);
    EXPECT_EQ(tail.thisRunFrom, 0u);
}

// The same rules hold for writers on other threads, rotating under each other.
TEST_F(DiagnosticsTraceTest, WritersOnOtherThreadsRotateAndCleanTheirLinesToo)
{
    optedIn = true;
    const auto trace = makeTrace();
    constexpr int kLinesEach = 1500;
    const auto writer = [&trace](char letter) {
        const std::string body = "\x1B[1m" + std::string(2000, letter);
        for (int i = 0; i < kLinesEach; ++i)
            trace.trace(body);
    };
    std::thread first(writer, 'a');
    std::thread second(writer, 'b');
    first.join();
    second.join();

    const std::string expectedStart = "09:30:05  \uFFFD[1m";
    int count = 0;
    for (const fs::path& file : {logFile(), folder() / DiagnosticsTrace::kRotatedFileName}) {
        SCOPED_TRACE(file.filename().string());
        // Each writer may add its line to a file just after another filled it.
        EXPECT_LE(fs::file_size(file), DiagnosticsTrace::kMaxFileBytes + 2 * 2100);
        std::istringstream lines(readFile(file));
        for (std::string line; std::getline(lines, line); ++count) {
            ASSERT_TRUE(line.starts_with(expectedStart)) << "line " << count;
            const auto body = line.substr(expectedStart.size());
            ASSERT_TRUE(body == std::string(2000, 'a') || body == std::string(2000, 'b')) << "line " << count;
        }
    }
    EXPECT_GT(count, 0);
    EXPECT_LE(count, 2 * kLinesEach);
}

TEST_F(DiagnosticsTraceTest, DamagedBytesDoNotHideTheLog)
{
    writeFile(logFile(), std::string("09:00:00  fine\n09:00:01  torn \xE2\x82\n") + std::string(64, '\0')
                             + "\n09:00:02  \xC3\xA9t\xC3\xA9\n");
    const auto lines = makeTrace().recentLogLines(40);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "09:00:00  fine");
    EXPECT_TRUE(lines[1].starts_with("09:00:01  torn \xEF\xBF\xBD")) << "replacement character";
    EXPECT_EQ(QString::fromUtf8(lines[1]).toStdString(), lines[1]) << "valid UTF-8";
    EXPECT_EQ(lines[2], "09:00:02  \xC3\xA9t\xC3\xA9");
}

} // namespace
