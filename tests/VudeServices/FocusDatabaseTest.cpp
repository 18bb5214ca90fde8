#include "VudeServices/FocusDatabase.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>

#include <sys/stat.h>

namespace {

// The shape of the two files, with one asserted mode "work".
constexpr auto kAssertions = R"({"data": [{"storeAssertionRecords": [
    {"assertionDetails": {"assertionDetailsModeIdentifier": "work"}}]}]})";
constexpr auto kConfigurations = R"({"data": [{"modeConfigurations": {
    "work": {"mode": {"name": "Deep Work", "symbolImageName": "briefcase.fill"}},
    "sleep": {"mode": {"name": "Sleep"}}}}]})";

class FocusDatabaseTest : public testing::Test {
protected:
    FocusDatabaseTest() : database(home.path().toStdString()) {}

    void write(const std::filesystem::path& file, const std::string& text)
    {
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
    }

    QTemporaryDir home;
    FocusDatabase database;
};

TEST_F(FocusDatabaseTest, ReadsTheAssertedModesNameAndSymbol)
{
    EXPECT_FALSE(database.isReadable());
    EXPECT_EQ(database.activeMode(), std::nullopt);
    EXPECT_EQ(database.assertionsFile(),
              std::filesystem::path(home.path().toStdString()) / "Library/DoNotDisturb/DB/Assertions.json");

    write(database.assertionsFile(), kAssertions);
    write(database.configurationsFile(), kConfigurations);
    EXPECT_TRUE(database.isReadable());
    EXPECT_EQ(database.activeMode(), (FocusDatabase::Mode{"Deep Work", "briefcase.fill"}));
}

TEST_F(FocusDatabaseTest, EveryStepThatFindsNothingEndsWithNoMode)
{
    struct Row {
        const char* assertions;
        const char* configurations;
        std::optional<FocusDatabase::Mode> expected;
        const char* why;
    } rows[] = {
        {R"({"data": [{"storeAssertionRecords": [
            {"assertionDetails": {"assertionDetailsModeIdentifier": "sleep"}}]}]})",
         kConfigurations, FocusDatabase::Mode{"Sleep", std::nullopt}, "a mode without a symbol has none"},
        {kAssertions, R"({"data": [{"modeConfigurations": {"work": {"mode": {"name": 7}}}}]})",
         FocusDatabase::Mode{"Focus", std::nullopt}, "a name that is not text reads Focus"},
        {R"({"data": [{"storeAssertionRecords": []}]})", kConfigurations, std::nullopt, "no assertion: Focus is off"},
        {R"({"data": [{"storeAssertionRecords": [{"assertionDetails": {}}]}]})", kConfigurations, std::nullopt,
         "no mode identifier"},
        {R"({"data": [{"storeAssertionRecords": [
            {"assertionDetails": {"assertionDetailsModeIdentifier": "gaming"}}]}]})",
         kConfigurations, std::nullopt, "a mode with no configuration"},
        {R"({"data": [{"storeAssertionRecords": [
            {"assertionDetails": {"assertionDetailsModeIdentifier": 3}}]}]})",
         kConfigurations, std::nullopt, "an identifier that is not text"},
        {R"({"data": [{"storeAssertionRecords": [
            {"assertionDetails": {"assertionDetailsModeIdentifier": "work"}}]}, 5]})",
         kConfigurations, std::nullopt, "a list that is not all objects"},
        {R"([1, 2])", kConfigurations, std::nullopt, "the top level is not an object"},
        {R"({"data": [)", kConfigurations, std::nullopt, "truncated JSON"},
        {kAssertions, R"({"data": {"modeConfigurations": {}}})", std::nullopt, "configurations data not a list"},
        {kAssertions, R"({"data": [{"modeConfigurations": {"work": {"name": "Deep Work"}}}]})", std::nullopt,
         "a configuration without its mode object"},
        {kAssertions, nullptr, std::nullopt, "the configurations file is missing"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        write(database.assertionsFile(), row.assertions);
        std::filesystem::remove(database.configurationsFile());
        if (row.configurations)
            write(database.configurationsFile(), row.configurations);
        EXPECT_EQ(database.activeMode(), row.expected);
    }
}

TEST_F(FocusDatabaseTest, AFolderInPlaceOfTheFileIsNotReadable)
{
    std::filesystem::create_directories(database.assertionsFile());
    EXPECT_FALSE(database.isReadable());
    EXPECT_EQ(database.activeMode(), std::nullopt);
}

// Opening a FIFO for reading waits for a writer: a planted one must read as
// nothing, at once, whichever of the two files it stands in for.
TEST_F(FocusDatabaseTest, AFifoInPlaceOfEitherFileReadsAsNothingWithoutWaiting)
{
    for (const bool assertions : {true, false}) {
        SCOPED_TRACE(assertions ? "assertions" : "configurations");
        const std::filesystem::path fifo = assertions ? database.assertionsFile() : database.configurationsFile();
        write(database.assertionsFile(), kAssertions);
        write(database.configurationsFile(), kConfigurations);
        std::filesystem::remove(fifo);
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        EXPECT_EQ(database.isReadable(), !assertions);
        EXPECT_EQ(database.activeMode(), std::nullopt);
        std::filesystem::remove(fifo);
    }
}

} // namespace
