#include "Platform/Settings/FileUserDefaults.h"

#include "Platform/Core/AtomicFile.h"
#include "VudeKit/SettingsStore.h"

#include "TestSupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <csignal>
#include <limits>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Array = DefaultsValue::Array;
using Dictionary = DefaultsValue::Dictionary;
using LoadOutcome = FileUserDefaults::LoadOutcome;

namespace {

const std::string kNoCalendar("\0none", 5);

class FileUserDefaultsTest : public ::testing::Test {
protected:
    QTemporaryDir root;
    fs::path folder() const { return fs::path(root.path().toStdString()) / "Vude"; }
    fs::path file() const { return folder() / "defaults.json"; }

    void writeRaw(std::string_view bytes) const
    {
        fs::create_directories(folder());
        ASSERT_TRUE(AtomicFile::write(file(), bytes));
    }
};

struct KindRow {
    const char* why;
    DefaultsValue value;
};

TEST_F(FileUserDefaultsTest, EveryKindOfValueSurvivesTheFile)
{
    const std::vector<KindRow> rows{
        {"bool", false},
        {"integer", std::int64_t{-5}},
        {"largest integer", std::numeric_limits<std::int64_t>::max()},
        {"smallest integer", std::numeric_limits<std::int64_t>::min()},
        {"an integral double stays a double", 12.0},
        {"a double needing all its digits", 0.1 + 0.2},
        {"a huge double", 1e300},
        {"infinity", std::numeric_limits<double>::infinity()},
        {"negative infinity", -std::numeric_limits<double>::infinity()},
        {"the empty string", ""},
        {"the no-calendar marker", kNoCalendar},
        {"non-ASCII text", "\xC3\xA9t\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x8E\xB5"},
        {"bytes that are not UTF-8", std::string("\xFF\xFE\xC3(", 4)},
        {"a numeric string stays a string", "42"},
        {"a date to the microsecond", kReferenceDate + 752'000'000'123'457us},
        {"a date before the reference", kReferenceDate - 86'400'000'001us},
        {"an array of kinds", Array{"a", 1, 1.5, true, Array{}, Dictionary{}}},
        {"a dictionary", Dictionary{{"media", 5}, {"todos", 3}}},
        {"a dictionary shaped like a tag", Dictionary{{"$date", "not a date"}}},
        {"a dictionary shaped like the wrapper", Dictionary{{"$dictionary", Dictionary{{"$bytes", "zz"}}}}},
    };
    {
        FileUserDefaults defaults(file());
        EXPECT_EQ(defaults.loadOutcome(), LoadOutcome::noFile);
        for (const auto& row : rows)
            defaults.set(row.why, row.value);
        defaults.set("nan", std::nan(""));
        EXPECT_EQ(defaults.lastWriteError(), "");
    }
    FileUserDefaults reopened(file());
    ASSERT_EQ(reopened.loadOutcome(), LoadOutcome::loaded) << reopened.loadError();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        EXPECT_EQ(reopened.object(row.why), row.value);
    }
    const auto nan = reopened.object("nan");
    ASSERT_TRUE(nan && nan->kind() == DefaultsValue::Kind::real);
    EXPECT_TRUE(std::isnan(*nan->toDouble()));
}

TEST_F(FileUserDefaultsTest, EveryChangeIsOnDiskAtOnce)
{
    FileUserDefaults writer(file());
    writer.set("hasCompletedOnboarding", true);
    writer.set("lastSyncDate", kReferenceDate + 60s);
    EXPECT_EQ(FileUserDefaults(file()).dictionaryRepresentation(),
              (Dictionary{{"hasCompletedOnboarding", true}, {"lastSyncDate", kReferenceDate + 60s}}));

    writer.remove("hasCompletedOnboarding");
    EXPECT_EQ(FileUserDefaults(file()).dictionaryRepresentation(), (Dictionary{{"lastSyncDate", kReferenceDate + 60s}}));
    const std::vector<std::string> keys{"lastSyncDate"};
    writer.remove(keys);
    EXPECT_EQ(FileUserDefaults(file()).dictionaryRepresentation(), Dictionary{});
}

TEST_F(FileUserDefaultsTest, AHandWrittenFileReadsAsDocumented)
{
    writeRaw(R"({
        "contentPadding": 20,
        "soundDuration": 2.5,
        "soundEnabled": false,
        "showOn": "primaryOnly",
        "lastSyncDate": {"$date": 1.5},
        "widgetCells": {"media": 6},
        "odd": {"$unknown": 1}
    })");
    FileUserDefaults defaults(file());
    ASSERT_EQ(defaults.loadOutcome(), LoadOutcome::loaded);
    EXPECT_EQ(defaults.object("contentPadding"), DefaultsValue(20));
    EXPECT_EQ(defaults.object("soundDuration"), DefaultsValue(2.5));
    EXPECT_EQ(defaults.dateForKey("lastSyncDate"), kReferenceDate + 1500ms);
    EXPECT_EQ(defaults.object("odd"), DefaultsValue(Dictionary{{"$unknown", 1}})) << "an unknown tag is kept as a dictionary";

    const SettingsStore settings(std::make_shared<FileUserDefaults>(file()));
    EXPECT_EQ(settings.contentPadding(), 20);
    EXPECT_FALSE(settings.soundEnabled());
    EXPECT_EQ(settings.showOn(), ScreenPolicy::primaryOnly);
    EXPECT_EQ(settings.widgetCells(), (WidgetCellMap{{WidgetID::media, 6}}));
}

TEST_F(FileUserDefaultsTest, DoublesAreWrittenSoThatTheyReadBackAsDoubles)
{
    const auto text = FileUserDefaults::encode(Dictionary{{"d", 12.0}, {"i", 12}});
    EXPECT_NE(text.find("\"d\": 12.0"), std::string::npos) << text;
    EXPECT_NE(text.find("\"i\": 12\n"), std::string::npos) << text;
}

TEST_F(FileUserDefaultsTest, AnUnreadableFileIsSetAsideIntactAndTheStoreStartsEmpty)
{
    struct CorruptRow {
        const char* why;
        std::string content;
    };
    const std::vector<CorruptRow> rows{
        {"truncated JSON", R"({"soundEnabled": tr)"},
        {"an empty file", ""},
        {"not an object", R"(["soundEnabled"])"},
        {"a null value", R"({"soundEnabled": null})"},
        {"trailing garbage", R"({"soundEnabled": true} x)"},
        {"binary noise", std::string("\x00\xFF\x13\x37", 4)},
        {"invalid UTF-8 inside a string", "{\"a\": \"\xFF\"}"},
        {"nesting deeper than any value", std::string(1000, '[') + std::string(1000, ']')},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        fs::remove_all(folder());
        writeRaw(row.content);

        FileUserDefaults defaults(file());
        EXPECT_EQ(defaults.loadOutcome(), LoadOutcome::setAside);
        EXPECT_FALSE(defaults.loadError().empty());
        EXPECT_EQ(defaults.dictionaryRepresentation(), Dictionary{});
        EXPECT_EQ(defaults.setAsidePath(), folder() / "defaults.json.corrupt");
        EXPECT_EQ(AtomicFile::read(defaults.setAsidePath()).value_or("<missing>"), row.content);

        defaults.set("soundEnabled", false);
        EXPECT_EQ(AtomicFile::read(defaults.setAsidePath()).value_or("<missing>"), row.content)
            << "the next write leaves the set-aside file alone";
        EXPECT_EQ(FileUserDefaults(file()).object("soundEnabled"), DefaultsValue(false));
    }
}

// A file that cannot be read may be perfectly good: nothing renames it or
// writes over it, and the changes live in memory. A FIFO must not block the
// start either (a hang shows as the test program's timeout).
TEST_F(FileUserDefaultsTest, AFileThatCannotBeReadStaysAsItIsAndTheStoreRunsOnDefaultsInMemory)
{
    struct Row {
        const char* why;
        std::function<void(const fs::path&)> make;
    };
    std::vector<Row> rows{
        {"a FIFO", [](const fs::path& path) { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); }},
        {"a folder", [](const fs::path& path) { fs::create_directory(path); }},
        {"a symlink to nothing", [](const fs::path& path) { fs::create_symlink("nowhere.json", path); }},
    };
    // Permissions do not hold back root, which the tests may run as.
    if (::geteuid() != 0)
        rows.push_back({"a file without read permission", [](const fs::path& path) {
                            ASSERT_TRUE(AtomicFile::write(path, R"({"soundEnabled": false})", 0200));
                        }});
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        fs::remove_all(folder());
        fs::create_directories(folder());
        row.make(file());
        const auto before = fs::symlink_status(file()).type();

        FileUserDefaults defaults(file());
        EXPECT_EQ(defaults.loadOutcome(), LoadOutcome::unreadable);
        EXPECT_NE(defaults.loadError().find(file().string()), std::string::npos) << defaults.loadError();
        EXPECT_EQ(defaults.dictionaryRepresentation(), Dictionary{});
        defaults.set("soundEnabled", true);
        EXPECT_EQ(defaults.object("soundEnabled"), DefaultsValue(true)) << "kept in memory";
        EXPECT_FALSE(defaults.lastWriteError().empty());

        EXPECT_EQ(fs::symlink_status(file()).type(), before) << "left as it was";
        EXPECT_EQ(testsupport::folderEntries(folder()), std::vector<std::string>{"defaults.json"})
            << "nothing set aside, no temporary file";
    }
}

TEST_F(FileUserDefaultsTest, TemporaryFilesOfKilledWritesAreRemovedAtLoad)
{
    writeRaw(R"({"soundEnabled": false})");
    const auto put = [this](const std::string& name) { AtomicFile::write(folder() / name, "partial"); };
    for (const char* left : {".defaults.json.a1B2c3", ".defaults.json.ZZZZZZ"})
        put(left);
    // Names that are not a killed write's of this file.
    const std::vector<std::string> others{".defaults.json.abc", ".defaults.json.abcdefg", ".defaults.json.ab-cd_",
                                          ".other.json.a1B2c3", "defaults.json.a1B2c3", "defaults.json.corrupt"};
    for (const auto& name : others)
        put(name);
    fs::create_directory(folder() / ".defaults.json.Folder");
    fs::create_symlink("defaults.json", folder() / ".defaults.json.Link00");

    const FileUserDefaults defaults(file());
    EXPECT_EQ(defaults.object("soundEnabled"), DefaultsValue(false));
    std::vector<std::string> expected = others;
    expected.insert(expected.end(), {".defaults.json.Folder", ".defaults.json.Link00", "defaults.json"});
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(testsupport::folderEntries(folder()), expected);
}

TEST_F(FileUserDefaultsTest, AnEarlierSetAsideFileIsNeverReplaced)
{
    writeRaw("first corruption");
    EXPECT_EQ(FileUserDefaults(file()).loadOutcome(), LoadOutcome::setAside);
    writeRaw("second corruption");
    FileUserDefaults defaults(file());
    EXPECT_EQ(defaults.setAsidePath(), folder() / "defaults.json.corrupt-2");
    EXPECT_EQ(AtomicFile::read(folder() / "defaults.json.corrupt").value_or(""), "first corruption");
    EXPECT_EQ(AtomicFile::read(folder() / "defaults.json.corrupt-2").value_or(""), "second corruption");
}

TEST_F(FileUserDefaultsTest, TheSettingsStartOnDefaultsOverACorruptFile)
{
    writeRaw(R"({"soundEnabled": false, "contentPadding": )");
    const auto defaults = std::make_shared<FileUserDefaults>(file());
    const SettingsStore settings(defaults);
    EXPECT_TRUE(settings.soundEnabled());
    EXPECT_EQ(settings.contentPadding(), 12);
    EXPECT_EQ(FileUserDefaults(file()).dictionaryRepresentation(), (Dictionary{{"settingsSchemaVersion", 1}}));
}

TEST_F(FileUserDefaultsTest, TheNoCalendarMarkerSurvivesTheFile)
{
    {
        SettingsStore settings(std::make_shared<FileUserDefaults>(file()));
        settings.setVisibleCalendars({kNoCalendar});
    }
    EXPECT_NE(AtomicFile::read(file()).value_or("").find(R"("\u0000none")"), std::string::npos);
    const SettingsStore reopened(std::make_shared<FileUserDefaults>(file()));
    EXPECT_EQ(reopened.visibleCalendars(), CalendarIDSet{kNoCalendar});
    EXPECT_EQ(reopened.visibleCalendars().begin()->size(), 5u);
}

TEST_F(FileUserDefaultsTest, AFailedWriteKeepsTheChangeForTheNextWrite)
{
    // A plain file where the folder should be makes every write fail.
    fs::create_directories(folder().parent_path());
    ASSERT_TRUE(AtomicFile::write(folder(), "in the way"));
    FileUserDefaults defaults(file());
    defaults.set("first", 1);
    EXPECT_FALSE(defaults.lastWriteError().empty());
    EXPECT_EQ(defaults.object("first"), DefaultsValue(1));

    fs::remove(folder());
    defaults.set("second", 2);
    EXPECT_EQ(defaults.lastWriteError(), "");
    EXPECT_EQ(FileUserDefaults(file()).dictionaryRepresentation(), (Dictionary{{"first", 1}, {"second", 2}}));
}

TEST_F(FileUserDefaultsTest, AWriterKilledAtAnyMomentLeavesTheLastWholeFile)
{
    const std::string payload(64 * 1024, 'p');
    {
        FileUserDefaults seed(file());
        seed.set("payload", payload);
        seed.set("counter", 0);
    }
    const auto counterOnDisk = [&] {
        const auto text = AtomicFile::read(file());
        const auto values = text ? FileUserDefaults::decode(*text) : unexpected(std::string());
        return values ? InMemoryUserDefaults(*values).integerForKey("counter").value_or(-1) : -1;
    };
    std::mt19937 random(7);
    std::int64_t lastSeen = 0;
    for (int round = 0; round < 6; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            FileUserDefaults writer(file());
            for (std::int64_t counter = writer.integerForKey("counter").value_or(0) + 1;; ++counter)
                writer.set("counter", counter);
        }
        // Kill it while it is busy writing, at a random point of a write.
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (counterOnDisk() < lastSeen + 3 && std::chrono::steady_clock::now() < deadline)
            usleep(500);
        usleep(std::uniform_int_distribution<useconds_t>(0, 3000)(random));
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);

        FileUserDefaults reader(file());
        ASSERT_EQ(reader.loadOutcome(), LoadOutcome::loaded) << "round " << round << ": " << reader.loadError();
        EXPECT_EQ(reader.stringForKey("payload"), payload);
        const auto counter = reader.integerForKey("counter").value_or(-1);
        EXPECT_GE(counter, lastSeen + 3) << "round " << round << ": the writer never got going, or the file went back";
        lastSeen = counter;
        EXPECT_EQ(testsupport::folderEntries(folder()), std::vector<std::string>{"defaults.json"})
            << "round " << round << ": what the killed write left is gone";
    }
}

TEST_F(FileUserDefaultsTest, ReadersOnAnotherThreadSeeWholeValuesWhileTheMainThreadWrites)
{
    FileUserDefaults defaults(file());
    defaults.set("list", Array{});
    std::atomic<bool> done = false;
    std::atomic<int> torn = 0;
    std::atomic<int> reads = 0;
    std::thread reader([&] {
        while (!done) {
            const auto list = defaults.arrayForKey("list");
            const auto all = defaults.dictionaryRepresentation();
            if (!list || all.size() != 1)
                ++torn;
            else
                for (std::size_t i = 0; i < list->size(); ++i)
                    if ((*list)[i] != DefaultsValue(static_cast<std::int64_t>(i)))
                        ++torn;
            ++reads;
        }
    });
    Array list;
    for (std::int64_t i = 0; i < 60; ++i) {
        list.emplace_back(i);
        defaults.set("list", list);
    }
    done = true;
    reader.join();
    EXPECT_EQ(torn, 0);
    EXPECT_GT(reads, 0);
    EXPECT_EQ(FileUserDefaults(file()).arrayForKey("list")->size(), 60u);
}

} // namespace
