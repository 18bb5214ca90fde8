#include "Platform/Input/FakeInputAccessProbe.h"
#include "Vude/Onboarding/OnboardingModel.h"
#include "Vude/Permissions/FakePermissions.h"
#include "VudeKit/SettingsStore.h"
#include "VudeKit/UserDefaults.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using State = Permission::State;
using Step = OnboardingModel::Step;

// A model over fake permissions, with every notification it sends recorded.
class OnboardingModelTest : public testing::Test {
protected:
    void SetUp() override
    {
        InputAccessProbe::installStandard(access);
        model = std::make_unique<OnboardingModel>(&store, fake.system());
        QObject::connect(model.get(), &OnboardingModel::stepChanged, [this] { notes.push_back("step"); });
        QObject::connect(model.get(), &OnboardingModel::permissionStatesChanged,
                         [this] { notes.push_back("states"); });
        QObject::connect(model.get(), &OnboardingModel::stuckPermissionChanged, [this] { notes.push_back("stuck"); });
    }
    void TearDown() override
    {
        model.reset();
        InputAccessProbe::installStandard(nullptr);
    }

    // Makes the system answer `state` for `permission` from now on.
    void setState(Permission permission, State state)
    {
        if (permission == Permission::inputMonitoring) {
            access->monitoring = state == State::granted  ? InputMonitoringAccess::granted
                                 : state == State::denied ? InputMonitoringAccess::denied
                                                          : InputMonitoringAccess::unknown;
        } else {
            ASSERT_EQ(permission, Permission::bluetooth);
            fake.bluetoothAuthorization = state == State::granted  ? BluetoothAuthorization::allowedAlways
                                          : state == State::denied ? BluetoothAuthorization::denied
                                                                   : BluetoothAuthorization::notDetermined;
        }
    }
    // Long enough for either request to answer (Bluetooth by its fallback).
    void letRequestsAnswer() { fake.scheduler.advance(std::chrono::seconds(3)); }

    std::shared_ptr<FakeInputAccessProbe> access = std::make_shared<FakeInputAccessProbe>();
    FakePermissions fake;
    SettingsStore store{std::make_shared<InMemoryUserDefaults>()};
    std::unique_ptr<OnboardingModel> model;
    std::vector<std::string> notes;
};

TEST_F(OnboardingModelTest, StepsAreNumberedInWalkthroughOrder)
{
    const std::vector<Step> expected{Step::welcome, Step::gestures, Step::media, Step::permissions, Step::ravo};
    constexpr auto steps = OnboardingModel::allSteps();
    ASSERT_EQ(std::vector<Step>(steps.begin(), steps.end()), expected);
    for (int raw = 0; raw < 5; ++raw)
        EXPECT_EQ(OnboardingModel::stepFromRawValue(raw), expected[raw]);
    EXPECT_EQ(OnboardingModel::stepFromRawValue(-1), std::nullopt);
    EXPECT_EQ(OnboardingModel::stepFromRawValue(5), std::nullopt);
    EXPECT_EQ(rawValue(Step::ravo), "ravo");
}

TEST_F(OnboardingModelTest, StartsAtWelcomeWithEveryStateAlreadyRead)
{
    EXPECT_EQ(model->step(), Step::welcome);
    EXPECT_EQ(model->stuckPermission(), std::nullopt);
    ASSERT_EQ(model->permissionStates().size(), 5u);
    for (const Permission permission : Permission::allCases())
        EXPECT_EQ(model->state(permission), permission.state(fake.system())) << permission.rawValue();
}

TEST_F(OnboardingModelTest, RefreshReadsStatesAgainAndNotifiesOnlyOnChange)
{
    model->refreshPermissions();
    EXPECT_TRUE(notes.empty());
    setState(Permission::bluetooth, State::granted);
    model->refreshPermissions();
    EXPECT_EQ(model->state(Permission::bluetooth), State::granted);
    EXPECT_EQ(notes, std::vector<std::string>{"states"});
}

TEST_F(OnboardingModelTest, AdvanceAndBackStopAtTheEndsWithoutNotifying)
{
    model->back();
    EXPECT_EQ(model->step(), Step::welcome);
    EXPECT_TRUE(notes.empty());
    for (int i = 0; i < 4; ++i)
        model->advance();
    EXPECT_EQ(model->step(), Step::ravo);
    EXPECT_EQ(notes.size(), 4u);
    model->advance();
    EXPECT_EQ(model->step(), Step::ravo);
    EXPECT_EQ(notes.size(), 4u);
    model->back();
    EXPECT_EQ(model->step(), Step::permissions);
}

TEST_F(OnboardingModelTest, AcceptsAnyStartStep)
{
    for (const Step step : OnboardingModel::allSteps()) {
        OnboardingModel fresh(&store, fake.system());
        fresh.setStep(step);
        EXPECT_EQ(fresh.step(), step);
    }
    model->setStep(Step::welcome);
    EXPECT_TRUE(notes.empty()) << "the step it already holds";
}

TEST_F(OnboardingModelTest, StuckWhenARequestLeavesTheStateAsItWasAndNotGranted)
{
    struct Row {
        const char* why;
        Permission permission;
        State before;
        State after;
        bool stuck;
    };
    const Row rows[] = {
        {"unchanged, not determined", Permission::bluetooth, State::notDetermined, State::notDetermined, true},
        {"unchanged, denied", Permission::bluetooth, State::denied, State::denied, true},
        {"unchanged keys outside X11", Permission::inputMonitoring, State::notDetermined, State::notDetermined, true},
        {"already granted", Permission::bluetooth, State::granted, State::granted, false},
        {"already granted keys", Permission::inputMonitoring, State::granted, State::granted, false},
        {"not determined to denied", Permission::inputMonitoring, State::notDetermined, State::denied, false},
        {"not determined to granted", Permission::bluetooth, State::notDetermined, State::granted, false},
        {"granted to denied", Permission::bluetooth, State::granted, State::denied, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        model->setStuckPermission(std::nullopt);
        setState(row.permission, row.before);
        model->refreshPermissions();
        model->request(row.permission);
        setState(row.permission, row.after);
        letRequestsAnswer();
        EXPECT_EQ(model->stuckPermission(), row.stuck ? std::optional(row.permission) : std::nullopt);
        EXPECT_EQ(model->state(row.permission), row.after) << "refreshed before comparing";
    }
}

TEST_F(OnboardingModelTest, TheStateBeforeIsReadFreshNotFromTheTable)
{
    // The table still says not determined; the user denied in the meantime,
    // and the request changes nothing more.
    setState(Permission::bluetooth, State::denied);
    model->request(Permission::bluetooth);
    letRequestsAnswer();
    EXPECT_EQ(model->stuckPermission(), Permission::bluetooth);
}

TEST_F(OnboardingModelTest, ALaterFailureReplacesTheEarlierOne)
{
    setState(Permission::inputMonitoring, State::notDetermined);
    setState(Permission::bluetooth, State::notDetermined);
    model->refreshPermissions();
    model->request(Permission::bluetooth);
    model->request(Permission::inputMonitoring);
    // Bluetooth's fallback (2.15 s) comes after the keys' check (1.15 s);
    // the keys then fail again.
    letRequestsAnswer();
    EXPECT_EQ(model->stuckPermission(), Permission::bluetooth);
    model->request(Permission::inputMonitoring);
    letRequestsAnswer();
    EXPECT_EQ(model->stuckPermission(), Permission::inputMonitoring);
}

TEST_F(OnboardingModelTest, OnlyTheUserClearsTheStuckPermission)
{
    setState(Permission::bluetooth, State::notDetermined);
    model->request(Permission::bluetooth);
    letRequestsAnswer();
    ASSERT_EQ(model->stuckPermission(), Permission::bluetooth);

    setState(Permission::bluetooth, State::granted);
    model->refreshPermissions();
    model->request(Permission::bluetooth);
    letRequestsAnswer();
    EXPECT_EQ(model->stuckPermission(), Permission::bluetooth) << "neither a refresh nor a later grant clears it";

    model->setStuckPermission(std::nullopt);
    EXPECT_EQ(model->stuckPermission(), std::nullopt);
}

TEST_F(OnboardingModelTest, AnAnswerAfterTheModelIsGoneIsIgnored)
{
    setState(Permission::inputMonitoring, State::notDetermined);
    setState(Permission::bluetooth, State::notDetermined);
    model->request(Permission::inputMonitoring);
    model->request(Permission::bluetooth);
    model.reset();
    letRequestsAnswer(); // the sanitizers catch any use of the model
}

} // namespace
