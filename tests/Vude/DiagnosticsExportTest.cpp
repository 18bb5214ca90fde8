#include "Vude/App/DiagnosticsExport.h"

#include "Vude/Bridge/ActivityPayloads.h"
#include "Vude/App/UpdateService.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fstream>
#include <sstream>

namespace {

using namespace DiagnosticsExport;

std::string readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(DiagnosticsExportTest, MasksTheUsersContentInEveryTraceLineThatCarriesIt)
{
    NowPlayingState state;
    state.isPlaying = true;
    state.title = "Secret Song key= art=9";
    state.artist = "Hidden Artist";
    const std::string mediaLine = ActivityPayloads::mediaTraceLine(state);
    ASSERT_NE(mediaLine.find("Secret Song"), std::string::npos);

    struct Row {
        std::string line;
        std::string expected;
    };
    const Row rows[] = {
        {"12:00:01  " + mediaLine, "12:00:01  media playing=true title=<hidden> key=<hidden> art=0"},
        {"12:00:02  media EMIT Secret Song", "12:00:02  media EMIT <hidden>"},
        {"12:00:03  seeded todo: buy the ring", "12:00:03  seeded todo: <hidden>"},
        {"12:00:04  media playing=false title=- key= art=12",
         "12:00:04  media playing=false title=<hidden> key=<hidden> art=12"},
        {"12:00:05  [media] item key=Song|Artist", "12:00:05  [media] item key=<hidden>"},
        // Lines without content stay as they are.
        {"12:00:06  event tap start(listen) \u2192 running", "12:00:06  event tap start(listen) \u2192 running"},
        {"12:00:07  media primed, suppressing first pill", "12:00:07  media primed, suppressing first pill"},
        {"12:00:08  monkey=1", "12:00:08  monkey=1"},
    };
    for (const auto& row : rows) {
        const auto masked = maskedLogLine(row.line);
        EXPECT_EQ(masked, row.expected) << row.line;
        EXPECT_EQ(masked.find("Secret"), std::string::npos) << row.line;
        EXPECT_EQ(masked.find("Artist"), std::string::npos) << row.line;
    }
}

Facts fixedFacts()
{
    Facts facts;
    facts.version = "1.4";
    facts.build = "\u2014";
    facts.osVersion = "Debian GNU/Linux 12 (bookworm), 6.1.0-18-amd64";
    facts.model = "XPS 13 9310";
    facts.installation = SystemDescription::Installation::debianPackage;
    facts.screens = {{1, 1512.9, 982.2, std::nullopt}, {7, 3024, 1964, std::pair{185.6, 32.4}}};
    facts.inputMonitoring = Permission::State::granted;
    facts.accessibility = Permission::State::notDetermined;
    facts.bluetooth = {BluetoothAuthorization::denied, false};
    facts.calendar = Permission::State::unknown;
    facts.camera = Permission::State::granted;
    facts.universalMediaAdapter = true;
    facts.accessibilityTrusted = false;
    facts.brightnessAvailable = true;
    facts.calendarAccess = "fullAccess";
    facts.push = "pending";
    facts.keepingAwake = true;
    facts.syncSummary = "Local only";
    facts.todoCount = 3;
    facts.logTail = {"10:00:00  media EMIT Private Title", "10:00:01  seeded todo: call mum"};
    facts.logThisRunFrom = 1;
    return facts;
}

TEST(DiagnosticsExportTest, ReportRowsForAFixedState)
{
    const auto in = inputs(fixedFacts());
    ASSERT_EQ(in.screens.size(), 2u);
    EXPECT_EQ(in.screens[0].name, "Display 1");
    EXPECT_EQ(in.screens[0].size, "1512\u00D7982");
    EXPECT_EQ(in.screens[0].notch, "none (synthetic)");
    EXPECT_EQ(in.screens[1].name, "Display 7");
    EXPECT_EQ(in.screens[1].notch, "185\u00D732");

    const std::vector<DiagnosticsReport::Row> permissions{{"Media Keys", "granted"},
                                                          {"Media Key Control", "notDetermined"},
                                                          {"Bluetooth", "denied"},
                                                          {"Calendar", "unknown"},
                                                          {"Camera", "granted"}};
    EXPECT_EQ(in.permissions, permissions);
    const std::vector<DiagnosticsReport::Row> services{
        {"Media adapter", "universal"}, {"HUD suppression", "unavailable"}, {"Brightness", "available"},
        {"Bluetooth", "denied"}, {"Calendar", "fullAccess"},     {"Push", "pending"},
        {"Keep awake", "on"},           {"Updates", "With the Debian package"}};
    EXPECT_EQ(in.services, services);
    EXPECT_EQ(in.syncSummary, "Local only");
    EXPECT_EQ(in.todoCount, 3);
    const std::vector<std::string> tail{"10:00:00  media EMIT <hidden>", "10:00:01  seeded todo: <hidden>"};
    EXPECT_EQ(in.logTail, tail);
    EXPECT_EQ(in.logThisRunFrom, std::optional<std::size_t>(1)) << "masking keeps the lines where they were";
}

// Both Bluetooth rows come from one look at the stack, so they say the same.
TEST(DiagnosticsExportTest, PermissionsAndServicesAgreeOnBluetooth)
{
    using A = BluetoothAuthorization;
    struct Row {
        A authorization;
        bool running;
        std::string_view permission;
        std::string_view service;
    } rows[] = {
        {A::allowedAlways, true, "granted", "started"},
        {A::allowedAlways, false, "granted", "notStarted"},
        {A::notDetermined, false, "notDetermined", "needsPermission"},
        {A::denied, false, "denied", "denied"},
        {A::restricted, false, "denied", "denied"},
        // A service left running by an earlier answer does not outvote the stack.
        {A::denied, true, "denied", "denied"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(rawValue(row.authorization)) + (row.running ? " running" : ""));
        Facts facts = fixedFacts();
        facts.bluetooth = {row.authorization, row.running};
        const auto in = inputs(facts);
        EXPECT_EQ(in.permissions.at(2), (DiagnosticsReport::Row{"Bluetooth", std::string(row.permission)}));
        EXPECT_EQ(in.services.at(3), (DiagnosticsReport::Row{"Bluetooth", std::string(row.service)}));
    }
}

TEST(DiagnosticsExportTest, TheSavePanelStartsInDocumentsElseHome)
{
    QTemporaryDir dir;
    const std::filesystem::path home = dir.path().toStdString();
    const auto documents = home / "Documents";
    EXPECT_EQ(saveFolder(documents, home), home) << "no Documents folder yet";
    std::filesystem::create_directory(documents);
    EXPECT_EQ(saveFolder(documents, home), documents);
    EXPECT_EQ(saveFolder("", home), home) << "no Documents location at all";
    EXPECT_EQ(saveFolder("Documents", home), home) << "a relative path would mean the working directory";
}

struct DiagnosticsSaveTest : ::testing::Test {
    QTemporaryDir dir;
    ActivationPolicyRecorder activation{ActivationPolicy::regular};
    RecordingFileRevealer revealer;
    std::vector<std::string> errors;
    std::optional<std::filesystem::path> chosen;
    Desktop desktop{activation, [this] { return chosen; }, revealer,
                    [this](const std::string& error) { errors.push_back(error); }};
    std::filesystem::path root() const { return dir.path().toStdString(); }
};

TEST_F(DiagnosticsSaveTest, SavedReportHasTheMaskedTailAndIsShown)
{
    const auto text = DiagnosticsReport::make(inputs(fixedFacts())).formatted();
    chosen = root() / defaultFileName;
    // An earlier export is replaced whole.
    std::ofstream(*chosen) << "old report that is much longer than nothing at all";

    EXPECT_EQ(save(text, desktop), Outcome::saved);
    EXPECT_EQ(readFile(*chosen), text);
    EXPECT_EQ(text.find("Private Title"), std::string::npos);
    EXPECT_EQ(text.find("call mum"), std::string::npos);
    EXPECT_NE(text.find("media EMIT <hidden>"), std::string::npos);
    EXPECT_EQ(revealer.revealed, std::vector{*chosen});
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(activation.activationPolicy(), ActivationPolicy::accessory);
    // Nothing left beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(root()), {}), 1);
}

TEST_F(DiagnosticsSaveTest, FailedSaveShowsItsErrorAndRevealsNothing)
{
    // A folder where the file should go cannot be replaced by a file.
    chosen = root() / "taken";
    std::filesystem::create_directory(*chosen);
    EXPECT_EQ(save("report\n", desktop), Outcome::failed);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_FALSE(errors[0].empty());
    EXPECT_TRUE(revealer.revealed.empty());
    EXPECT_TRUE(std::filesystem::is_directory(*chosen));
    EXPECT_EQ(activation.activationPolicy(), ActivationPolicy::accessory);
}

TEST_F(DiagnosticsSaveTest, CancelWritesNothingAndReturnsToAccessory)
{
    EXPECT_EQ(save("report\n", desktop), Outcome::cancelled);
    EXPECT_TRUE(revealer.revealed.empty());
    EXPECT_TRUE(errors.empty());
    EXPECT_TRUE(std::filesystem::is_empty(root()));
    EXPECT_EQ(activation.activationPolicy(), ActivationPolicy::accessory);
}

TEST(UpdateServiceTest, NeverAvailableAndCheckingDoesNothing)
{
    for (const bool sandboxed : {false, true}) {
        UpdateService updates{BuildProfile(sandboxed)};
        EXPECT_FALSE(updates.isAvailable());
        EXPECT_FALSE(updates.canCheckForUpdates());
        updates.checkForUpdates();
    }
}

} // namespace
