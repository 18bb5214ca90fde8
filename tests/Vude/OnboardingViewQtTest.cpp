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
#include <QScrollArea>
#include <QScrollBar>
#include <QTextLayout>
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
        if (view->hero())
            EXPECT_TRUE(view->hero()->isVisible()) << "at once, not a turn of the loop later";
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
    fake.scheduler.advance(std::chrono::milliseconds(200));
    EXPECT_EQ(first->demo().beat(), 1) << "the shown demonstration runs: 1.1 s on its first beat";
    EXPECT_EQ(view->capsuleWidths(), (std::vector<double>{14, 5, 5, 5, 5}));
    model->advance();
    ASSERT_NE(view->hero(), nullptr);
    EXPECT_EQ(view->hero()->demo().script(), NotchDemo::Script::gestures);
    EXPECT_EQ(view->hero()->demo().beat(), 0) << "the new step's starts from its first beat";
    settle();
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

TEST_F(OnboardingViewQtTest, TheScrollBarShowsOnlyWhenThePageIsTallerThanTheWindow)
{
    auto* scroll = view->findChild<QScrollArea*>();
    ASSERT_NE(scroll, nullptr);
    const auto barShows = [&] {
        const QImage drawn = testsupport::picture(*view, 1, Qt::black);
        // The page's background runs to the window's right edge.
        return QColor(drawn.pixel(view->width() - 4, 300)) != toQColor(Vude::Ink::x950);
    };
    // Checked at once, before the event loop turns: each step fits.
    for (const Step step : allCases<Step>()) {
        SCOPED_TRACE(rawValue(step));
        model->setStep(step);
        EXPECT_FALSE(scroll->verticalScrollBar()->isVisible());
        EXPECT_FALSE(barShows());
    }
    model->setStep(Step::permissions);
    model->setStuckPermission(Permission::bluetooth);
    EXPECT_FALSE(scroll->verticalScrollBar()->isVisible()) << "the help box fits too";

    // A window too short for the page scrolls.
    view->setFixedSize(700, 300);
    QCoreApplication::processEvents();
    EXPECT_TRUE(scroll->verticalScrollBar()->isVisible());
    EXPECT_GT(scroll->verticalScrollBar()->maximum(), 0);
    view->setFixedSize(OnboardingView::windowSize);
    EXPECT_FALSE(scroll->verticalScrollBar()->isVisible());
}

TEST_F(OnboardingViewQtTest, TheBodyAndTheNoteHaveTheirLineSpacing)
{
    // Lines laid out as the font has them, with 3 points more between the
    // body's lines and 2 more between the note's.
    struct Lines {
        int count = 0;
        double height = 0;
    };
    const auto linesOf = [](const QLabel& label) {
        QTextLayout layout(label.text(), label.font());
        layout.beginLayout();
        Lines lines;
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(label.width());
            ++lines.count;
            lines.height += line.height();
        }
        layout.endLayout();
        return lines;
    };
    model->setStep(Step::media);
    settle();
    auto* body = find<QLabel>(QStringLiteral("body"));
    auto* note = find<QLabel>(QStringLiteral("note"));
    ASSERT_NE(body, nullptr);
    ASSERT_NE(note, nullptr);
    for (const auto& [label, spacing] : {std::pair<QLabel*, int>{body, 3}, std::pair<QLabel*, int>{note, 2}}) {
        SCOPED_TRACE(label->objectName().toStdString());
        const Lines lines = linesOf(*label);
        ASSERT_GE(lines.count, 2) << "the text wraps";
        EXPECT_NEAR(label->height(), lines.height + (lines.count - 1) * spacing, 1);
    }
    EXPECT_LE(body->width(), 470);
    EXPECT_GT(note->width(), 400) << "the note takes its width before it wraps";
    EXPECT_LE(note->geometry().right() + 1, 470) << "bar, gap and text";

    // Drawn: the second line's ink starts a line and the spacing below the
    // first's.
    const QImage drawn = testsupport::picture(*body, 1, Qt::black);
    std::vector<int> lineTops;
    bool inLine = false;
    for (int y = 0; y < drawn.height(); ++y) {
        bool ink = false;
        for (int x = 0; x < drawn.width() && !ink; ++x)
            ink = qGray(drawn.pixel(x, y)) > 60;
        if (ink && !inLine)
            lineTops.push_back(y);
        inLine = ink;
    }
    ASSERT_GE(lineTops.size(), 2u);
    const Lines lines = linesOf(*body);
    EXPECT_NEAR(lineTops[1] - lineTops[0], lines.height / lines.count + 3, 1.5);
    testsupport::saveScreenshot(*view, QStringLiteral("Onboarding-media-spacing"));
}

} // namespace
