#include "Vude/Permissions/Permission.h"

#include "Platform/Input/FakeInputAccessProbe.h"
#include "Vude/Permissions/FakePermissions.h"
#include "Vude/Permissions/PermissionPrompt.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <optional>
#include <thread>
#include <unordered_set>
#include <vector>

namespace {

using namespace std::chrono_literals;
using State = Permission::State;
using InputMonitoring = EventTapService::InputMonitoring;

TEST(PermissionTables, EverySystemAnswerMapsToItsState)
{
    const struct {
        const char* answer;
        State state;
        State expected;
    } rows[] = {
        {"input monitoring granted", Permission::stateForInputMonitoring(InputMonitoring::granted), State::granted},
        {"input monitoring denied", Permission::stateForInputMonitoring(InputMonitoring::denied), State::denied},
        {"input monitoring unknown", Permission::stateForInputMonitoring(InputMonitoring::unknown), State::notDetermined},

        {"Accessibility trusted", Permission::stateForAccessibility(true), State::granted},
        {"Accessibility not trusted is never denied", Permission::stateForAccessibility(false), State::notDetermined},

        {"Bluetooth not determined (0)", Permission::stateForBluetooth(0), State::notDetermined},
        {"Bluetooth restricted (1)", Permission::stateForBluetooth(1), State::denied},
        {"Bluetooth denied (2)", Permission::stateForBluetooth(2), State::denied},
        {"Bluetooth allowed always (3)", Permission::stateForBluetooth(3), State::granted},
        {"Bluetooth 4", Permission::stateForBluetooth(4), State::unknown},
        {"Bluetooth 1000", Permission::stateForBluetooth(1000), State::unknown},
        {"Bluetooth -1", Permission::stateForBluetooth(-1), State::unknown},

        {"calendar not determined (0)", Permission::stateForCalendar(0), State::notDetermined},
        {"calendar restricted (1)", Permission::stateForCalendar(1), State::denied},
        {"calendar denied (2)", Permission::stateForCalendar(2), State::denied},
        {"calendar full access (3)", Permission::stateForCalendar(3), State::granted},
        {"calendar write only (4)", Permission::stateForCalendar(4), State::denied},
        {"calendar 5", Permission::stateForCalendar(5), State::unknown},
        {"calendar -1", Permission::stateForCalendar(-1), State::unknown},

        {"camera not determined (0)", Permission::stateForCamera(0), State::notDetermined},
        {"camera restricted (1)", Permission::stateForCamera(1), State::denied},
        {"camera denied (2)", Permission::stateForCamera(2), State::denied},
        {"camera authorized (3)", Permission::stateForCamera(3), State::granted},
        {"camera 4", Permission::stateForCamera(4), State::unknown},
        {"camera -1", Permission::stateForCamera(-1), State::unknown},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.state, row.expected) << row.answer;
}

TEST(PermissionTables, BluetoothAuthorizationsAreTheSystemsRawValues)
{
    const struct {
        BluetoothAuthorization authorization;
        State expected;
    } rows[] = {
        {BluetoothAuthorization::notDetermined, State::notDetermined},
        {BluetoothAuthorization::restricted, State::denied},
        {BluetoothAuthorization::denied, State::denied},
        {BluetoothAuthorization::allowedAlways, State::granted},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Permission::stateForBluetooth(static_cast<long>(row.authorization)), row.expected)
            << rawValue(row.authorization);
}

TEST(PermissionIdentity, CasesAreNamedAndOrderedAsStoredAndListed)
{
    std::vector<std::string_view> names;
    for (const Permission permission : Permission::allCases()) {
        names.push_back(permission.rawValue());
        EXPECT_EQ(permission.id(), permission.rawValue());
        EXPECT_EQ(Permission::fromRawValue(permission.rawValue()), permission);
    }
    EXPECT_EQ(names, (std::vector<std::string_view>{"inputMonitoring", "accessibility", "bluetooth", "calendar", "camera"}));

    for (const char* text : {"Camera", "CAMERA", " camera", "camera ", "", "location"})
        EXPECT_EQ(Permission::fromRawValue(text), std::nullopt) << '"' << text << '"';

    const auto all = Permission::allCases();
    EXPECT_EQ(std::unordered_set<Permission>(all.begin(), all.end()).size(), 5u);
    EXPECT_NE(Permission::calendar, Permission::camera);
}

TEST(PermissionIdentity, EachOpensItsOwnPrivacyPane)
{
    const struct {
        Permission permission;
        const char* anchor;
    } rows[] = {
        {Permission::inputMonitoring, "Privacy_ListenEvent"}, {Permission::accessibility, "Privacy_Accessibility"},
        {Permission::bluetooth, "Privacy_Bluetooth"},         {Permission::calendar, "Privacy_Calendars"},
        {Permission::camera, "Privacy_Camera"},
    };
    FakePermissions fake;
    for (const auto& row : rows)
        fake.privacyTargets[row.anchor] = QUrl(QString("https://example.test/") + row.anchor);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.anchor);
        EXPECT_EQ(row.permission.settingsAnchor(), row.anchor);
        fake.urls.opened.clear();
        row.permission.openSettings(fake.system());
        EXPECT_EQ(fake.urls.opened, (std::vector<QUrl>{fake.privacyTargets.at(row.anchor)}));
    }

    // Nothing explains it here: nothing opens.
    fake.privacyTargets.clear();
    fake.urls.opened.clear();
    Permission::camera.openSettings(fake.system());
    EXPECT_TRUE(fake.urls.opened.empty());
}

// The permissions over doubles, with the key access answers installed where
// the key tap's checks look for them.
class PermissionTest : public testing::Test {
protected:
    void SetUp() override { InputAccessProbe::installStandard(access); }
    void TearDown() override { InputAccessProbe::installStandard(nullptr); }

    void advance(Duration by) { fake.scheduler.advance(by); }
    Duration elapsed() const { return fake.clock.now() - m_start; }

    // What a completion heard, and when.
    struct Answer {
        bool granted;
        Duration at;
        bool operator==(const Answer&) const = default;
        friend std::ostream& operator<<(std::ostream& out, const Answer& answer)
        {
            return out << (answer.granted ? "granted" : "refused") << " at "
                       << std::chrono::duration_cast<std::chrono::milliseconds>(answer.at).count() << " ms";
        }
    };
    std::function<void(bool)> recordInto(std::vector<Answer>& answers)
    {
        return [this, &answers](bool granted) { answers.push_back({granted, elapsed()}); };
    }

    std::shared_ptr<FakeInputAccessProbe> access = std::make_shared<FakeInputAccessProbe>();
    FakePermissions fake;

private:
    Date m_start = fake.clock.now();
};

TEST_F(PermissionTest, StatesAreAskedOfTheSystemAtEveryRead)
{
    access->monitoring = InputMonitoringAccess::unknown;
    access->interceptable = false;
    fake.bluetoothAuthorization = BluetoothAuthorization::denied;
    fake.calendarStatus = 4;
    fake.cameraStatus = 0;
    const std::vector<State> first{State::notDetermined, State::notDetermined, State::denied, State::denied,
                                   State::notDetermined};

    std::vector<State> states;
    for (const Permission permission : Permission::allCases())
        states.push_back(permission.state(fake.system()));
    EXPECT_EQ(states, first);

    access->monitoring = InputMonitoringAccess::granted;
    access->interceptable = true;
    fake.bluetoothAuthorization = BluetoothAuthorization::allowedAlways;
    fake.calendarStatus = 3;
    fake.cameraStatus = 7;
    states.clear();
    for (const Permission permission : Permission::allCases())
        states.push_back(permission.state(fake.system()));
    EXPECT_EQ(states, (std::vector<State>{State::granted, State::granted, State::granted, State::granted, State::unknown}));
    EXPECT_EQ(access->interceptProbes.size(), 2u) << "Accessibility is checked afresh each time";
}

TEST_F(PermissionTest, InputMonitoringAnswersWhatAFreshLookFindsAt1_15Seconds)
{
    const struct {
        InputMonitoringAccess atCheck;
        bool granted;
    } rows[] = {
        {InputMonitoringAccess::granted, true},
        {InputMonitoringAccess::denied, false},
        {InputMonitoringAccess::unknown, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.atCheck));
        FakePermissions fake;
        const Date start = fake.clock.now();
        access->monitoring = InputMonitoringAccess::unknown;
        std::vector<Duration> calls;
        std::optional<bool> granted;
        Permission::inputMonitoring.request(
            [&](bool value) {
                calls.push_back(fake.clock.now() - start);
                granted = value;
            },
            fake.system());

        fake.scheduler.advance(1149ms);
        EXPECT_TRUE(calls.empty());
        access->monitoring = row.atCheck;
        fake.scheduler.advance(1ms);
        EXPECT_EQ(calls, std::vector<Duration>{1150ms});
        EXPECT_EQ(granted, row.granted);
        EXPECT_EQ(fake.restarted, row.granted ? std::vector<Permission>{Permission::inputMonitoring}
                                              : std::vector<Permission>{});
    }
}

TEST_F(PermissionTest, AccessibilityAnswersTheTrustRightAfterThePromptAt0_15Seconds)
{
    for (const bool trusted : {true, false}) {
        SCOPED_TRACE(trusted);
        FakePermissions fake;
        access->interceptProbes.clear();
        access->interceptable = trusted;
        std::vector<bool> answers;
        Permission::accessibility.request([&](bool granted) { answers.push_back(granted); }, fake.system());

        fake.scheduler.advance(149ms);
        EXPECT_TRUE(answers.empty());
        EXPECT_TRUE(access->interceptProbes.empty()) << "nothing is asked before the app is in front";
        fake.scheduler.advance(1ms);
        EXPECT_EQ(answers, std::vector<bool>{trusted});
        EXPECT_EQ(access->interceptProbes.size(), 2u) << "the request, then a fresh read";
        EXPECT_EQ(fake.restarted, trusted ? std::vector<Permission>{Permission::accessibility} : std::vector<Permission>{});
        fake.scheduler.advance(60s);
        EXPECT_EQ(answers.size(), 1u);
    }
}

TEST_F(PermissionTest, BluetoothAnswersOnTheStacksFirstWordAndOnlyOnce)
{
    std::vector<Answer> answers;
    Permission::bluetooth.request(recordInto(answers), fake.system());
    advance(149ms);
    EXPECT_EQ(fake.bluetoothManagersMade, 0) << "the stack is asked only once the app is in front";
    advance(1ms);
    EXPECT_EQ(fake.bluetoothManagersMade, 1);
    EXPECT_EQ(fake.pendingPowerOns.size(), 1u) << "the request switches the radio on";

    advance(350ms);
    fake.bluetoothAuthorization = BluetoothAuthorization::allowedAlways;
    fake.answerPowerOn(true);
    EXPECT_EQ(answers, (std::vector<Answer>{{true, 500ms}}));
    EXPECT_EQ(fake.restarted, std::vector<Permission>{Permission::bluetooth});

    // The fallback finds nothing waiting.
    advance(5s);
    EXPECT_EQ(answers.size(), 1u);
    EXPECT_FALSE(fake.system().bluetoothProbe().isWaiting());
    EXPECT_NE(fake.system().bluetoothProbe().manager(), nullptr) << "the connection stays until the next request";
}

TEST_F(PermissionTest, BluetoothFallsBackToTheAuthorizationAfterTwoSeconds)
{
    const struct {
        const char* why;
        bool reachable;
        BluetoothAuthorization atFallback;
        bool granted;
    } rows[] = {
        {"an adapter appeared meanwhile", true, BluetoothAuthorization::allowedAlways, true},
        {"still no adapter", true, BluetoothAuthorization::notDetermined, false},
        {"refused", true, BluetoothAuthorization::denied, false},
        {"no stack to connect to", false, BluetoothAuthorization::notDetermined, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        FakePermissions fake;
        const Date start = fake.clock.now();
        fake.bluetoothReachable = row.reachable;
        std::vector<Answer> answers;
        Permission::bluetooth.request([&](bool granted) { answers.push_back({granted, fake.clock.now() - start}); },
                                      fake.system());
        fake.scheduler.advance(2149ms);
        EXPECT_TRUE(answers.empty());
        fake.bluetoothAuthorization = row.atFallback;
        fake.scheduler.advance(1ms);
        EXPECT_EQ(answers, (std::vector<Answer>{{row.granted, 2150ms}}));

        // The stack's late word finds nothing waiting.
        fake.answerPowerOn(true);
        EXPECT_EQ(answers.size(), 1u);
    }
}

TEST_F(PermissionTest, ASecondBluetoothRequestReplacesTheFirstWhichIsNeverAnswered)
{
    std::vector<Answer> first;
    std::vector<Answer> second;
    Permission::bluetooth.request(recordInto(first), fake.system());
    advance(1s);
    Permission::bluetooth.request(recordInto(second), fake.system());
    advance(150ms);
    ASSERT_EQ(fake.bluetoothManagersMade, 2);
    ASSERT_EQ(fake.pendingPowerOns.size(), 2u);

    // The first connection is gone: its word no longer counts.
    fake.bluetoothAuthorization = BluetoothAuthorization::allowedAlways;
    fake.answerPowerOn(true);
    EXPECT_TRUE(first.empty());
    EXPECT_TRUE(second.empty());

    // The first request's fallback answers the second.
    advance(999ms);
    EXPECT_TRUE(second.empty());
    advance(1ms);
    EXPECT_EQ(second, (std::vector<Answer>{{true, 2150ms}}));

    advance(10s);
    fake.answerPowerOn(true);
    EXPECT_TRUE(first.empty());
    EXPECT_EQ(second.size(), 1u);
}

TEST_F(PermissionTest, PromptingRequestsBringTheAppForwardButCalendarAndCameraDoNot)
{
    const struct {
        Permission permission;
        bool activates;
    } rows[] = {
        {Permission::inputMonitoring, true}, {Permission::accessibility, true}, {Permission::bluetooth, true},
        {Permission::calendar, false},       {Permission::camera, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.permission.rawValue());
        FakePermissions fake;
        row.permission.request([](bool) {}, fake.system());
        EXPECT_EQ(fake.activation.activationPolicy(),
                  row.activates ? ActivationPolicy::regular : ActivationPolicy::accessory);
        EXPECT_EQ(fake.activation.activationRequests(), row.activates ? 1 : 0);
        EXPECT_EQ(fake.scheduler.pendingCount(), row.activates ? 1u : 0u);
    }
}

TEST_F(PermissionTest, CalendarAndCameraAnswerOnTheSystemsThreadAndRestartOnTheMainThread)
{
    for (const Permission permission : {Permission::calendar, Permission::camera}) {
        for (const bool granted : {true, false}) {
            SCOPED_TRACE(std::string(permission.rawValue()) + (granted ? " granted" : " refused"));
            FakePermissions fake;
            std::optional<bool> answer;
            std::thread::id answeredOn;
            permission.request(
                [&](bool value) {
                    answer = value;
                    answeredOn = std::this_thread::get_id();
                },
                fake.system());
            auto& pending = permission == Permission::calendar ? fake.calendarRequests : fake.cameraRequests;
            ASSERT_EQ(pending.size(), 1u) << "asked at once";

            std::thread system([&] { pending.front()(granted); });
            system.join();
            EXPECT_EQ(answer, granted);
            EXPECT_NE(answeredOn, std::this_thread::get_id());
            EXPECT_TRUE(fake.restarted.empty()) << "not from the system's thread";
            testsupport::processEvents();
            EXPECT_EQ(fake.restarted, granted ? std::vector<Permission>{permission} : std::vector<Permission>{});
        }
    }
}

TEST_F(PermissionTest, StepsDueAfterTheSystemIsGoneDoNothing)
{
    ManualClock clock;
    ManualScheduler scheduler(clock);
    ActivationPolicyRecorder activation;
    RecordingUrlOpener urls;
    RecordingAlertPresenter alerts;
    int calls = 0;
    {
        PermissionSystem system(PermissionSeams{
            .scheduler = scheduler,
            .activation = activation,
            .urls = urls,
            .alerts = alerts,
            .bluetoothAuthorization = [] { return BluetoothAuthorization::allowedAlways; },
            .bluetoothStatus = {},
            .makeBluetoothManager = {},
            .calendar = {},
            .camera = {},
            .privacyTarget = {},
            .privacyTitle = {},
        });
        system.setRestartHandler([&](Permission) { ++calls; });
        Permission::inputMonitoring.request([&](bool) { ++calls; }, system);
        Permission::bluetooth.request([&](bool) { ++calls; }, system);
        scheduler.advance(150ms);
        PermissionPrompt::withActivation([&] { ++calls; }, system);
    }
    scheduler.advance(60s);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(activation.activationPolicy(), ActivationPolicy::regular) << "nothing left to restore it";
}

TEST_F(PermissionTest, CallersWithoutASystemUseTheInstalledOne)
{
    PermissionSystem::installStandard(std::shared_ptr<PermissionSystem>(std::shared_ptr<void>(), &fake.system()));
    fake.calendarStatus = 3;
    EXPECT_EQ(Permission::calendar.state(), State::granted);
    EXPECT_EQ(&BluetoothPermissionProbe::shared(), &fake.system().bluetoothProbe());
    PermissionPrompt::withActivation([] {});
    EXPECT_EQ(fake.activation.activationRequests(), 1);
    PermissionSystem::installStandard(nullptr);
}

TEST_F(PermissionTest, WithActivationRunsTheWorkInFrontAndRestoresAChangedPolicy30SecondsLater)
{
    const struct {
        ActivationPolicy initial;
        std::vector<ActivationPolicy> changes;
    } rows[] = {
        {ActivationPolicy::accessory, {ActivationPolicy::regular, ActivationPolicy::accessory}},
        {ActivationPolicy::prohibited, {ActivationPolicy::regular, ActivationPolicy::prohibited}},
        {ActivationPolicy::regular, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.initial));
        FakePermissions fake;
        fake.activation.setActivationPolicy(row.initial);
        std::vector<ActivationPolicy> changes;
        QObject::connect(&fake.activation, &ActivationPolicyRecorder::activationPolicyChanged,
                         [&](ActivationPolicy policy) { changes.push_back(policy); });
        std::optional<ActivationPolicy> policyDuringWork;
        PermissionPrompt::withActivation([&] { policyDuringWork = fake.activation.activationPolicy(); },
                                         fake.system());
        EXPECT_EQ(fake.activation.activationPolicy(), ActivationPolicy::regular);
        EXPECT_EQ(fake.activation.activationRequests(), 1);

        fake.scheduler.advance(149ms);
        EXPECT_FALSE(policyDuringWork);
        fake.scheduler.advance(1ms);
        EXPECT_EQ(policyDuringWork, ActivationPolicy::regular);

        fake.scheduler.advance(30s - 1ms);
        EXPECT_EQ(fake.activation.activationPolicy(), ActivationPolicy::regular);
        fake.scheduler.advance(1ms);
        EXPECT_EQ(fake.activation.activationPolicy(), row.initial);
        EXPECT_EQ(changes, row.changes);
        EXPECT_EQ(fake.scheduler.pendingCount(), 0u);
    }
}

TEST_F(PermissionTest, ExplainReturnsTheChoiceAndOpensThePaneOnlyForTheFirstButton)
{
    const QUrl accessibilityHelp("file:///usr/share/vude/help/permissions.html#accessibility");
    const QUrl bluetoothSettings("application:gnome-bluetooth-panel.desktop");
    // The first button says what it opens; "OK" when it opens nothing.
    const struct {
        const char* why;
        std::optional<std::size_t> choice;
        std::optional<std::string> pane;
        bool returned;
        std::vector<QUrl> opened;
        const char* firstButton;
    } rows[] = {
        {"open, with a pane", 0, "Privacy_Accessibility", true, {accessibilityHelp}, "Open Help"},
        {"open, the desktop's settings", 0, "Privacy_Bluetooth", true, {bluetoothSettings}, "Open Bluetooth Settings"},
        {"open, without a pane", 0, std::nullopt, true, {}, "OK"},
        {"open, a pane with nothing behind it", 0, "Privacy_AllFiles", true, {}, "OK"},
        {"not now", 1, "Privacy_Accessibility", false, {}, "Open Help"},
        {"closed without a choice", std::nullopt, "Privacy_Accessibility", false, {}, "Open Help"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        FakePermissions fake;
        fake.privacyTargets["Privacy_Accessibility"] = accessibilityHelp;
        fake.privacyTargets["Privacy_Bluetooth"] = bluetoothSettings;
        fake.privacyTitles["Privacy_Bluetooth"] = "Open Bluetooth Settings";
        fake.alerts.choice = row.choice;
        std::optional<ActivationPolicy> policyWhileShown;
        int activationsWhileShown = 0;
        fake.alerts.whilePresented = [&] {
            policyWhileShown = fake.activation.activationPolicy();
            activationsWhileShown = fake.activation.activationRequests();
        };

        EXPECT_EQ(PermissionPrompt::explain("Accessibility access needed", "Add Vude in the list.", row.pane,
                                            fake.system()),
                  row.returned);
        EXPECT_EQ(fake.urls.opened, row.opened);
        EXPECT_EQ(fake.alerts.alerts, (std::vector<Alert>{{
                                          .messageText = "Accessibility access needed",
                                          .informativeText = "Add Vude in the list.",
                                          .style = Alert::Style::informational,
                                          .buttons = {row.firstButton, "Not Now"},
                                      }}));
        EXPECT_EQ(policyWhileShown, ActivationPolicy::regular);
        EXPECT_EQ(activationsWhileShown, 1);
        EXPECT_EQ(fake.activation.activationPolicy(), ActivationPolicy::accessory) << "restored at once";
        EXPECT_EQ(fake.scheduler.pendingCount(), 0u);
    }
}

TEST_F(PermissionTest, ExplainLeavesARegularPolicyAlone)
{
    fake.activation.setActivationPolicy(ActivationPolicy::regular);
    int changes = 0;
    QObject::connect(&fake.activation, &ActivationPolicyRecorder::activationPolicyChanged, [&] { ++changes; });
    PermissionPrompt::explain("Title", "Message", std::nullopt, fake.system());
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(fake.activation.activationPolicy(), ActivationPolicy::regular);
}

} // namespace
