// The shortcuts runner, run as the program it is, over a shortcuts folder of
// its own (XDG_DATA_HOME of the child only).
#include "Platform/Desktop/ShortcutsFolder.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

struct Outcome {
    int status = -1;
    std::string output;
    std::string error;
};

class ShortcutsRunnerTest : public ::testing::Test {
protected:
    ShortcutsRunnerTest()
        : folder(fs::path(dataHome.path().toStdString()) / "Vude" / "Shortcuts")
    {
        fs::create_directories(folder);
    }

    fs::path write(const std::string& name, const std::string& content, fs::perms permissions = fs::perms(0755))
    {
        const fs::path file = folder / name;
        std::ofstream(file, std::ios::binary) << content;
        fs::permissions(file, permissions);
        return file;
    }

    Outcome runner(const QStringList& arguments, const QByteArray& input = {})
    {
        QProcess process;
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_DATA_HOME", dataHome.path());
        process.setProcessEnvironment(environment);
        process.start(VUDE_SHORTCUTS_RUNNER, arguments);
        EXPECT_TRUE(process.waitForStarted());
        process.write(input);
        process.closeWriteChannel();
        EXPECT_TRUE(process.waitForFinished(20000));
        Outcome outcome;
        outcome.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        outcome.output = process.readAllStandardOutput().toStdString();
        outcome.error = process.readAllStandardError().toStdString();
        return outcome;
    }

    QTemporaryDir dataHome;
    fs::path folder;
};

TEST_F(ShortcutsRunnerTest, ListsTheExecutableFilesWhoseNamesSurviveTheTrip)
{
    write("Morning Music", "#!/bin/sh\n");
    write("zeta", "#!/bin/sh\n");
    write("Caf\xC3\xA9 Mode", "#!/bin/sh\n");
    write("Wait...", "#!/bin/sh\n");
    write("notes.txt", "not a program", fs::perms(0644));
    write(".hidden", "#!/bin/sh\n");
    write("two\nlines", "#!/bin/sh\n");
    write(" padded", "#!/bin/sh\n");
    write("bad \xFF byte", "#!/bin/sh\n");
    fs::create_directory(folder / "a folder");
    fs::permissions(folder / "a folder", fs::perms(0755));
    fs::create_symlink(folder / "zeta", folder / "linked");

    const auto listed = runner({"list"});
    EXPECT_EQ(listed.status, 0) << listed.error;
    EXPECT_EQ(listed.output, "Caf\xC3\xA9 Mode\nMorning Music\nWait...\nlinked\nzeta\n");
}

TEST_F(ShortcutsRunnerTest, AMissingFolderListsNothing)
{
    fs::remove_all(folder);
    const auto listed = runner({"list"});
    EXPECT_EQ(listed.status, 0);
    EXPECT_EQ(listed.output, "");
}

TEST_F(ShortcutsRunnerTest, RunsAShortcutWithTheInputAndPassesItsStatusOn)
{
    const fs::path marker = fs::path(dataHome.path().toStdString()) / "marker";
    write("Say It", "#!/bin/sh\nprintf '[%s] %s' \"$(cat)\" \"$#\" > '" + marker.string() + "'\nexit 7\n");

    const auto ran = runner({"run", "Say It"}, " ");
    EXPECT_EQ(ran.status, 7) << "the shortcut replaces the runner, its status included";
    std::ifstream written(marker);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(written), {}), "[ ] 0")
        << "the input reaches the shortcut; no arguments are added";
}

TEST_F(ShortcutsRunnerTest, RefusesNamesOutsideTheListing)
{
    const fs::path marker = fs::path(dataHome.path().toStdString()) / "escaped";
    const std::string escape = "#!/bin/sh\ntouch '" + marker.string() + "'\n";
    // Programs one level up, where "../x" would reach.
    std::ofstream(folder.parent_path() / "x") << escape;
    fs::permissions(folder.parent_path() / "x", fs::perms(0755));
    write(".secret", escape);
    write("plain", escape, fs::perms(0644));

    struct Case {
        const char* name;
        int status;
    };
    const Case cases[] = {
        {"../x", 2}, {"..", 2}, {".", 2}, {"Shortcuts/../x", 2}, {"", 2},
        {".secret", 1}, {"plain", 1}, {"missing", 1}, {"x", 1},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        const auto outcome = runner({"run", QString::fromUtf8(row.name)});
        EXPECT_EQ(outcome.status, row.status);
        EXPECT_FALSE(outcome.error.empty()) << "a refusal says why";
    }
    EXPECT_FALSE(fs::exists(marker)) << "nothing outside the listing ran";
}

// A refused name comes from whoever called the runner; echoed raw, its
// control bytes would drive the terminal that shows the error.
TEST_F(ShortcutsRunnerTest, ARefusedNameIsEchoedWithItsControlBytesEscaped)
{
    struct Case {
        const char* name;
        int status;
        const char* shown;
    };
    const Case cases[] = {
        {"evil\x1B]0;owned\x07\nnext", 2, "\"evil\\x1b]0;owned\\x07\\nnext\""},
        {"../\x1B[2J", 2, "\"../\\x1b[2J\""},
        {"missing \xC2\x9B" "1m", 1, "\"missing \\xc2\\x9b1m\""},
        {"Caf\xC3\xA9 \"quoted\" back\\slash", 1, "\"Caf\xC3\xA9 \\\"quoted\\\" back\\\\slash\""},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.shown);
        const auto outcome = runner({"run", QString::fromUtf8(row.name)});
        EXPECT_EQ(outcome.status, row.status);
        EXPECT_NE(outcome.error.find(row.shown), std::string::npos) << outcome.error;
        EXPECT_EQ(outcome.error.find('\x1B'), std::string::npos);
        EXPECT_EQ(outcome.error.find('\x07'), std::string::npos);
        EXPECT_EQ(outcome.error.find("\xC2\x9B"), std::string::npos);
        EXPECT_EQ(outcome.error.find('\n'), outcome.error.size() - 1) << "one line";
    }
}

TEST_F(ShortcutsRunnerTest, WrongUseIsAUsageError)
{
    for (const auto& arguments : {QStringList{}, QStringList{"run"}, QStringList{"list", "extra"}, QStringList{"go"}}) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        const auto outcome = runner(arguments);
        EXPECT_EQ(outcome.status, 2);
        EXPECT_NE(outcome.error.find("usage:"), std::string::npos);
    }
}

TEST(ShortcutsFolderTest, NamesThatCannotMakeTheRoundTripAreNotShortcuts)
{
    struct Case {
        std::string name;
        bool acceptable;
    };
    const Case cases[] = {
        {"Lock Screen", true},      {"Wait...", true},        {"a..b", true},
        {"Caf\xC3\xA9", true},      {"", false},              {".", false},
        {"..", false},              {"../x", false},          {"a/b", false},
        {"tab\tinside", false},     {"line\nbreak", false},   {" leading", false},
        {"trailing\t", false},      {"bad \xC3", false},      {"overlong \xC0\xAF", false},
        {"surrogate \xED\xA0\x80", false}, {std::string("nul\0x", 5), false}, {"del\x7F", false},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ShortcutsFolder::isAcceptableName(row.name), row.acceptable);
    }
    EXPECT_EQ(ShortcutsFolder::directory(Environment::fixed({{"XDG_DATA_HOME", "/data"}})),
              fs::path("/data/Vude/Shortcuts"));
}

} // namespace

namespace {

TEST(ShortcutsFolderTest, EscapedTextHoldsNoControlByteAndNoBareQuote)
{
    struct Case {
        std::string text;
        std::string shown;
    };
    const Case cases[] = {
        {"Lock Screen", "Lock Screen"},
        {"Caf\xC3\xA9 \xF0\x9F\x8C\x99", "Caf\xC3\xA9 \xF0\x9F\x8C\x99"}, // letters and emoji stay readable
        {"tab\tline\nreturn\r", "tab\\tline\\nreturn\\r"},
        {std::string("nul\0bell\x07" "del\x7F", 13), "nul\\x00bell\\x07del\\x7f"},
        {"csi \xC2\x9B" "2J", "csi \\xc2\\x9b2J"}, // C1 controls too
        {"bad \xFF and cut \xE2\x82", "bad \\xff and cut \\xe2\\x82"},
        {"say \"hi\" \\ bye", "say \\\"hi\\\" \\\\ bye"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.shown);
        EXPECT_EQ(ShortcutsFolder::escaped(row.text), row.shown);
    }
}

} // namespace
