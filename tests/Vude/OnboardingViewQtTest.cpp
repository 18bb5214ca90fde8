// The walkthrough's content over fake permissions: per-step texts and
// buttons, Return as the primary button, the finish callback, the permission
// rows and the help box, and one picture per step.
#include "Platform/Input/FakeInputAccessProbe.h"
#include "Vude/Onboarding/OnboardingModel.h"
#include "Vude/Onboarding/OnboardingView.h"
#include "Vude/Permissions/FakePermissions.h"
#include "Vude/Shell/Views/NotchDemoView.h"
#include "Vude/Toolkit/AccentButton.h"
#include "VudeKit/SettingsStore.h"
#include "VudeKit/UserDefaults.h"
#include "VudeUI/qt/QtTokens.h"

#include "WidgetPicture.h"

#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using Step = OnboardingModel::Step;

class OnboardingViewQtTest : public testing::Test {
protected:
    void SetUp() override
    {
        pinFontFamilies("DejaVu Sans", "DejaVu Sans Mono");
        InputAccessProbe::installStandard(access);
        model = std::make_unique<OnboardingModel>(&store, fake.system());
        view = std::make_unique<OnboardingView>(
            *model, ViewEnvironment{fake.scheduler, fake.clock, &reduceMotion}, [this] { ++finished; },
            [this] { return stack; });
        view->show();
    }
    void TearDown() override
    {
        view.reset();
        model.reset();
        InputAccessProbe::installStandard(nullptr);
        unpinFontFamilies();
    }

    QString textOf(const char* name) const
    {
        const auto* label = find<QLabel>(QString::fromLatin1(name));
        return label ? label->text() : QString();
    }
    template <typename W = QWidget>
    W* find(const QString& name) const
    {
        // Blocks replaced by a refresh go at the next turn of the loop.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return view->findChild<W*>(name);
    }
    void settle() { fake.scheduler.advance(std::chrono::seconds(1)); }

    std::shared_ptr<FakeInputAccessProbe> access = std::make_shared<FakeInputAccessProbe>();
    FakePermissions fake;
    FixedReduceMotionSetting reduceMotion{false};
    SettingsStore store{std::make_shared<InMemoryUserDefaults>()};
    BluetoothStackStatus stack;
    std::unique_ptr<OnboardingModel> model;
    std::unique_ptr<OnboardingView> view;
    int finished = 0;
};

TEST_F(OnboardingViewQtTest, EachStepShowsItsCopyHeroAndButtons)
{
    EXPECT_EQ(view->size(), QSize(700, 620));
    struct Row {
        Step step;
        const char* eyebrow;
        const char* title;
        bool hero;
        bool back;
        const char* primary;
    };
    const Row rows[] = {
        {Step::welcome, "WELCOME", "The notch, put to work", true, false, "Continue"},
        {Step::gestures, "STEP 2 \u2014 GESTURES", "Four gestures, that's all", true, true, "Continue"},
        {Step::media, "STEP 3 \u2014 MEDIA", "What's playing, from any app", true, true, "Continue"},
        {Step::permissions, "STEP 4 \u2014 PERMISSIONS", "Two things to allow", false, true, "Continue"},
        {Step::ravo, "STEP 5 \u2014 THE DESK", "A drawer behind the notch", true, true, "Start using Vude"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.title);
        model->setStep(row.step);
        settle();
        EXPECT_EQ(textOf("eyebrow"), QString::fromUtf8(row.eyebrow));
        EXPECT_EQ(textOf("title"), QString::fromUtf8(row.title));
        EXPECT_EQ(view->hero() != nullptr, row.hero);
        EXPECT_EQ(view->backButton()->isVisible(), row.back);
        EXPECT_EQ(view->primaryButton()->text(), QString::fromUtf8(row.primary));
        EXPECT_EQ(find<QLabel>(QStringLiteral("note")) != nullptr, row.step == Step::media);
        testsupport::saveScreenshot(*view, QStringLiteral("Onboarding-") +
                                               QString::fromUtf8(rawValue(row.step).data()));
    }
}

TEST_F(OnboardingViewQtTest, ReturnAndEnterPressThePrimaryButtonAndTheLastStepFinishes)
{
    view->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    QTest::keyClick(view.get(), Qt::Key_Return);
    EXPECT_EQ(model->step(), Step::gestures);
    QTest::keyClick(view.get(), Qt::Key_Enter);
    EXPECT_EQ(model->step(), Step::media);
    QTest::mouseClick(view->backButton(), Qt::LeftButton);
    EXPECT_EQ(model->step(), Step::gestures);
    model->setStep(Step::ravo);
    QTest::keyClick(view.get(), Qt::Key_Return);
    EXPECT_EQ(model->step(), Step::ravo);
    EXPECT_EQ(finished, 1) << "the view only calls onFinish";
    EXPECT_TRUE(view->isVisible());
}

TEST_F(OnboardingViewQtTest, AStepChangeRestartsTheHeroAndMovesTheProgress)
{
    auto* first = view->hero();
    ASSERT_NE(first, nullptr);
    settle();
    EXPECT_EQ(view->capsuleWidths(), (std::vector<double>{14, 5, 5, 5, 5}));
    model->advance();
    settle();
    ASSERT_NE(view->hero(), nullptr);
    EXPECT_EQ(view->hero()->demo().script(), NotchDemo::Script::gestures);
    EXPECT_EQ(view->hero()->demo().beat(), 0);
    const auto widths = view->capsuleWidths();
    EXPECT_NEAR(widths[0], 5, 0.01);
    EXPECT_NEAR(widths[1], 14, 0.01);
}

TEST_F(OnboardingViewQtTest, RowsOfferWhatTheStateAllowsAndRefreshOnActivation)
{
    access->monitoring = InputMonitoringAccess::denied;
    fake.bluetoothAuthorization = BluetoothAuthorization::notDetermined;
    model->setStep(Step::permissions);
    view->applicationBecameActive();
    auto* keys = find(QStringLiteral("row.inputMonitoring"));
    auto* bluetooth = find(QStringLiteral("row.bluetooth"));
    ASSERT_NE(keys, nullptr);
    ASSERT_NE(bluetooth, nullptr);
    EXPECT_NE(keys->findChild<QWidget*>(QStringLiteral("openSettings")), nullptr);
    EXPECT_EQ(keys->findChild<QWidget*>(QStringLiteral("allow")), nullptr);
    EXPECT_NE(bluetooth->findChild<QWidget*>(QStringLiteral("allow")), nullptr);

    // Granted elsewhere while the window was in the background.
    fake.bluetoothAuthorization = BluetoothAuthorization::allowedAlways;
    view->applicationBecameActive();
    bluetooth = find(QStringLiteral("row.bluetooth"));
    ASSERT_NE(bluetooth, nullptr);
    auto* on = bluetooth->findChild<QLabel*>(QStringLiteral("on"));
    ASSERT_NE(on, nullptr);
    EXPECT_EQ(on->text(), QStringLiteral("On"));
}

TEST_F(OnboardingViewQtTest, AStuckRequestShowsHelpThatOnlyItsCloseButtonRemoves)
{
    fake.bluetoothAuthorization = BluetoothAuthorization::notDetermined;
    fake.bluetoothReachable = false;
    stack = {.reachable = true, .hasAdapter = false};
    model->setStep(Step::permissions);
    model->refreshPermissions();
    auto* allow = find(QStringLiteral("row.bluetooth"))->findChild<AccentButton*>(QStringLiteral("allow"));
    ASSERT_NE(allow, nullptr);
    QTest::mouseClick(allow, Qt::LeftButton);
    fake.scheduler.advance(std::chrono::seconds(3));
    ASSERT_EQ(model->stuckPermission(), Permission::bluetooth);
    auto* help = find(QStringLiteral("stuckHelp"));
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->findChild<QLabel*>(QStringLiteral("stuckTitle"))->text(), QStringLiteral("That didn't take"));
    EXPECT_EQ(help->findChildren<QLabel*>(QStringLiteral("stuckStep")).size(), 2) << "no adapter";
    testsupport::saveScreenshot(*view, QStringLiteral("Onboarding-stuck"));

    QTest::mouseClick(help->findChild<QWidget*>(QStringLiteral("stuckOpen")), Qt::LeftButton);
    EXPECT_EQ(fake.urls.opened.size(), std::size_t(fake.privacyTargets.empty() ? 0 : 1));

    fake.bluetoothAuthorization = BluetoothAuthorization::allowedAlways;
    view->applicationBecameActive();
    help = find(QStringLiteral("stuckHelp"));
    ASSERT_NE(help, nullptr) << "granting elsewhere leaves the help";
    QTest::mouseClick(help->findChild<QWidget*>(QStringLiteral("stuckClose")), Qt::LeftButton);
    EXPECT_EQ(model->stuckPermission(), std::nullopt);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(find(QStringLiteral("stuckHelp")), nullptr);
}

} // namespace
