// The timer widget and its duration picker: the wheels' positions, what they
// write back and how often they tick, the presets and Start, the list of
// running timers on the widget's own clock, and pictures for a person.
#include "Vude/Desk/TimerWidget.h"

#include "Vude/Desk/DeskBinder.h"
#include "Vude/Desk/DurationPicker.h"
#include "Vude/Desk/TimerRow.h"
#include "Vude/Desk/TimerWheel.h"
#include "Vude/Toolkit/PlainButton.h"
#include "VudeUI/qt/QtTokens.h"

#include "DeskRig.h"
#include "WidgetPicture.h"

#include <QMenu>
#include <QApplication>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

using desktest::DeskRig;

std::vector<std::optional<int>> positions(const DurationPicker& picker)
{
    return {picker.hours()->position(), picker.minutes()->position(), picker.seconds()->position()};
}

std::vector<std::optional<int>> at(int h, int m, int s)
{
    return {h, m, s};
}

void send(QWidget& widget, QEvent::Type type, QPointF point, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, point, widget.mapToGlobal(point), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(&widget, &event);
}

/// A wheel turned by `notches` (positive: away from the user) over `widget`;
/// whether anyone took it.
bool turn(QWidget& widget, int notches, QPoint pixels = {})
{
    const QPointF point(widget.width() / 2.0, widget.height() / 2.0);
    QWheelEvent event(point, widget.mapToGlobal(point), pixels, QPoint(0, notches * 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    event.setAccepted(false);
    QApplication::sendEvent(&widget, &event);
    return event.isAccepted();
}

class TimerWidgetQtTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        pinFontFamilies("DejaVu Sans", "DejaVu Sans Mono");
        rig.model->timerStore = store;
    }
    void TearDown() override
    {
        widget.reset();
        unpinFontFamilies();
    }

    /// The widget as the Desk makes it, in a cell of the Desk's row.
    TimerWidget& make(QSize size = {260, 150})
    {
        widget = std::make_unique<TimerWidget>(rig.environment);
        widget->resize(size);
        bind();
        QObject::connect(rig.model.get(), &NotchViewModel::timersChanged, widget.get(), [this] { bind(); });
        return *widget;
    }
    void bind() { widget->bind(DeskBinder(*rig.model, rig.environment).timer()); }

    /// Lets animations run out and deleted widgets go.
    void settle()
    {
        rig.scheduler.advance(2s);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    DeskRig rig;
    std::shared_ptr<notchtest::FakeTimerStore> store = std::make_shared<notchtest::FakeTimerStore>(rig.clock);
    std::unique_ptr<TimerWidget> widget;
};

TEST_F(TimerWidgetQtTest, APickerShowsItsLengthOnItsWheelsAndWritesBackWholeSecondsWhenShown)
{
    const struct Row {
        const char* why;
        double duration;
        std::vector<std::optional<int>> wheels;
        double written;
    } rows[] = {
        {"3725 s: 1 h 2 m 5 s", 3725, at(1, 2, 5), 3725},
        {"a fraction comes back whole", 90.7, at(0, 1, 30), 90},
        {"nothing", 0, at(0, 0, 0), 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        DurationPicker picker(rig.environment.view, nullptr, 26, 3);
        std::vector<double> written;
        picker.onChange = [&](double seconds) { written.push_back(seconds); };
        picker.setDuration(row.duration);
        picker.resize(240, 78);
        EXPECT_EQ(positions(picker), std::vector<std::optional<int>>(3)) << "nothing centred before it is shown";
        EXPECT_TRUE(written.empty());
        picker.show();
        EXPECT_EQ(positions(picker), row.wheels);
        ASSERT_FALSE(written.empty()) << "every wheel reports where it came to rest";
        EXPECT_EQ(written.back(), row.written);
        EXPECT_DOUBLE_EQ(picker.duration(), row.written);
    }

    // Turning the minutes of 3725 s to 0 writes 3605 s.
    DurationPicker picker(rig.environment.view, nullptr, 26, 3);
    std::vector<double> written;
    picker.onChange = [&](double seconds) { written.push_back(seconds); };
    picker.setDuration(3725);
    picker.resize(240, 78);
    picker.show();
    written.clear();
    picker.minutes()->stepBy(-2);
    settle();
    EXPECT_EQ(written, (std::vector<double>{3665, 3605})) << "each row it passes, whole seconds";
    EXPECT_EQ(positions(picker), at(1, 0, 5));
}

TEST_F(TimerWidgetQtTest, TheLargestLengthTheWheelsSetIsOneSecondShortOfADay)
{
    DurationPicker picker(rig.environment.view, nullptr, 26, 3);
    picker.resize(240, 78);
    picker.show();
    for (TimerWheel* wheel : {picker.hours(), picker.minutes(), picker.seconds()}) {
        QTest::keyClick(wheel, Qt::Key_End);
        settle();
    }
    EXPECT_EQ(positions(picker), at(23, 59, 59));
    EXPECT_EQ(picker.duration(), 86399);
    QTest::keyClick(picker.hours(), Qt::Key_Down);
    settle();
    EXPECT_EQ(picker.duration(), 86399) << "nothing past the last row";
    QTest::keyClick(picker.seconds(), Qt::Key_Up);
    settle();
    EXPECT_EQ(picker.duration(), 86398) << "the arrows step a row";
}

TEST_F(TimerWidgetQtTest, AFastScrollTicksAtMostEvery40MillisecondsButReportsEveryRow)
{
    CountingHapticPerformer haptics;
    DurationPicker picker(rig.environment.view, &haptics, 26, 3);
    picker.resize(240, 78);
    picker.show();
    EXPECT_EQ(haptics.count(HapticPattern::alignment), 3) << "each wheel's first tick plays";

    rig.scheduler.advance(1s);
    std::vector<double> written;
    picker.onChange = [&](double seconds) { written.push_back(seconds); };
    TimerWheel& seconds = *picker.seconds();
    const double x = seconds.width() / 2.0;
    send(seconds, QEvent::MouseButtonPress, {x, 39}, Qt::LeftButton, Qt::LeftButton);
    // Twenty rows in 190 ms, a row every 10 ms.
    for (int row = 1; row <= 20; ++row) {
        if (row > 1)
            rig.clock.advance(10ms);
        send(seconds, QEvent::MouseMove, {x, 39.0 - 26 * row}, Qt::NoButton, Qt::LeftButton);
    }
    send(seconds, QEvent::MouseButtonRelease, {x, 39.0 - 26 * 20}, Qt::LeftButton, Qt::NoButton);
    settle();

    ASSERT_EQ(written.size(), 20u) << "one report per row";
    for (int row = 1; row <= 20; ++row)
        EXPECT_EQ(written[std::size_t(row - 1)], row);
    // At 0, 50, 100 and 150 ms: never two within 40 ms.
    EXPECT_EQ(haptics.count(HapticPattern::alignment), 3 + 4);
    EXPECT_EQ(seconds.position(), 20);
    EXPECT_DOUBLE_EQ(seconds.offset(), 20 * 26) << "rests on the row";
}

TEST_F(TimerWidgetQtTest, TheWheelsSnapToRowsAndTakeEveryWheelEvent)
{
    DurationPicker picker(rig.environment.view, nullptr, 26, 3);
    picker.resize(240, 78);
    picker.show();
    TimerWheel& hours = *picker.hours();

    // At the top a turn that cannot move it is still taken: a wheel nobody
    // takes swipes the Desk closed.
    EXPECT_TRUE(turn(hours, +1));
    settle();
    EXPECT_EQ(hours.position(), 0);

    EXPECT_TRUE(turn(hours, -3));
    settle();
    EXPECT_EQ(hours.position(), 3) << "a notch a row, down the numbers";
    EXPECT_DOUBLE_EQ(hours.offset(), 3 * 26);

    // A touchpad scrolls by points and snaps to the nearest row once it pauses.
    EXPECT_TRUE(turn(hours, 0, QPoint(0, -30)));
    EXPECT_DOUBLE_EQ(hours.offset(), 3 * 26 + 30);
    EXPECT_EQ(hours.position(), 4);
    settle();
    EXPECT_DOUBLE_EQ(hours.offset(), 4 * 26);
    EXPECT_EQ(picker.duration(), 4 * 3600);
}

TEST_F(TimerWidgetQtTest, APresetMovesTheWheelsAndLightsItsChip)
{
    TimerWidget& timer = make();
    timer.show();
    ASSERT_NE(timer.picker(), nullptr);
    EXPECT_EQ(timer.duration(), 300);
    EXPECT_EQ(positions(*timer.picker()), at(0, 5, 0));

    const auto chipFill = [&](int index) {
        PlainButton* chip = timer.presetButtons()[std::size_t(index)];
        return QColor(testsupport::picture(*chip).pixel(2, chip->height() / 2));
    };
    std::vector<QString> texts;
    for (PlainButton* chip : timer.presetButtons())
        texts.push_back(chip->text());
    EXPECT_EQ(texts, (std::vector<QString>{"1m", "5m", "10m"}));
    EXPECT_EQ(chipFill(1), toQColor(Vude::Accent::x500)) << "5 minutes is the length made with";

    QTest::mouseClick(timer.presetButtons()[2], Qt::LeftButton);
    EXPECT_EQ(timer.duration(), 600);
    EXPECT_EQ(positions(*timer.picker()), at(0, 10, 0));
    QTest::mouseClick(timer.presetButtons()[1], Qt::LeftButton);
    EXPECT_EQ(timer.duration(), 300);
    EXPECT_EQ(positions(*timer.picker()), at(0, 5, 0));
    EXPECT_EQ(chipFill(1), toQColor(Vude::Accent::x500));
    EXPECT_EQ(chipFill(2), toQColor(Vude::Ink::x800));

    // A length of the wheels' own is no preset.
    timer.picker()->seconds()->stepBy(1);
    settle();
    EXPECT_EQ(timer.duration(), 301);
    EXPECT_EQ(chipFill(1), toQColor(Vude::Ink::x800));
}

TEST_F(TimerWidgetQtTest, StartIsDimmedAndCannotBePressedBelowASecond)
{
    TimerWidget& timer = make();
    timer.show();
    PlainButton* start = timer.startButton();
    ASSERT_NE(start, nullptr);
    EXPECT_EQ(start->text(), "Start");
    const auto startFill = [&] { return QColor(testsupport::picture(*start, 1, Qt::black).pixel(start->width() / 2, 1)); };
    const QColor bright = startFill();

    QTest::keyClick(timer.picker()->minutes(), Qt::Key_Home);
    settle();
    EXPECT_EQ(timer.duration(), 0);
    EXPECT_FALSE(start->isEnabled());
    EXPECT_LT(startFill().lightness(), bright.lightness() / 2) << "drawn at 0.4";
    QTest::mouseClick(start, Qt::LeftButton);
    EXPECT_TRUE(store->stored.empty());

    timer.picker()->seconds()->stepBy(1);
    settle();
    EXPECT_EQ(timer.duration(), 1);
    EXPECT_TRUE(start->isEnabled());
    EXPECT_EQ(startFill(), bright);
}

TEST_F(TimerWidgetQtTest, StartAndAddTimerRunTimersOfTheChosenLengthAndRowsReachTheStore)
{
    TimerWidget& timer = make();
    timer.show();
    QTest::mouseClick(timer.presetButtons()[0], Qt::LeftButton);
    QTest::mouseClick(timer.startButton(), Qt::LeftButton);
    settle();
    ASSERT_EQ(store->stored.size(), 1u);
    EXPECT_EQ(store->stored[0].total, 60);
    EXPECT_TRUE(store->stored[0].startedAt) << "running at once";
    EXPECT_EQ(timer.picker(), nullptr) << "the list took the picker's place";
    ASSERT_NE(timer.addButton(), nullptr);
    EXPECT_EQ(timer.addButton()->text(), "Add Timer");

    QTest::mouseClick(timer.addButton(), Qt::LeftButton);
    settle();
    ASSERT_EQ(store->stored.size(), 2u);
    EXPECT_EQ(store->stored[1].total, 60) << "the length last chosen";
    ASSERT_EQ(timer.rows().size(), 2u);

    // Play and pause, and the menu's Remove, each with the row's own timer.
    TimerRow* first = timer.rows()[0];
    EXPECT_STREQ(first->toggleSymbol(), "pause.fill");
    QTest::mouseClick(first->toggleButton(), Qt::LeftButton);
    EXPECT_STREQ(timer.rows()[0]->toggleSymbol(), "play.fill");
    EXPECT_EQ(timer.rows()[0], first) << "the same row, told the new state";
    const std::unique_ptr<QMenu> menu = timer.rows()[1]->contextMenu();
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions()[0]->text(), "Remove");
    menu->actions()[0]->trigger();
    settle();
    EXPECT_EQ(store->calls.back(), "remove ");
    EXPECT_EQ(timer.rows().size(), 1u);

    // The last one gone, a fresh picker comes back with the length kept.
    const std::unique_ptr<QMenu> last = timer.rows()[0]->contextMenu();
    last->actions()[0]->trigger();
    settle();
    ASSERT_NE(timer.picker(), nullptr);
    EXPECT_EQ(timer.duration(), 60);
    EXPECT_EQ(positions(*timer.picker()), at(0, 1, 0));
}

TEST_F(TimerWidgetQtTest, RowsCountDownOnTheWidgetsClockWhichRunsOnlyWhileShown)
{
    rig.model->addTimer(90);
    TimerWidget& timer = make();
    EXPECT_FALSE(timer.isTicking()) << "not shown yet";
    timer.show();
    EXPECT_TRUE(timer.isTicking());
    ASSERT_EQ(timer.rows().size(), 1u);
    TimerRow& row = *timer.rows()[0];
    EXPECT_EQ(row.text(), "1:30");

    rig.scheduler.advance(1200ms);
    EXPECT_EQ(timer.now(), rig.clock.now() - 200ms) << "read every half second";
    EXPECT_EQ(row.text(), "1:29");
    EXPECT_NEAR(row.progress(), 1.0 / 90, 1e-12);

    timer.hide();
    EXPECT_FALSE(timer.isTicking());
    rig.scheduler.advance(10s);
    EXPECT_EQ(row.text(), "1:29") << "no clock while hidden";
    timer.show();
    EXPECT_EQ(row.text(), "1:19") << "read again on showing";

    // Run out: 0:00 and a full ring, until removed.
    rig.scheduler.advance(2min);
    EXPECT_EQ(row.text(), "0:00");
    EXPECT_DOUBLE_EQ(row.progress(), 1);
    const std::size_t scheduled = rig.scheduler.pendingCount();
    widget.reset();
    EXPECT_EQ(rig.scheduler.pendingCount(), scheduled - 1) << "its clock ends with it";
}

TEST_F(TimerWidgetQtTest, PicturesOfThePickerAndOfTwoRunningTimers)
{
    TimerWidget& timer = make({240, 150});
    timer.show();
    settle();
    EXPECT_TRUE(testsupport::saveScreenshot(timer, "timer-picker"));
    // The band behind the middle row, faded to nothing at the top edge.
    const QImage drawn = testsupport::picture(timer, 1, Qt::black);
    const QRect picker(timer.picker()->mapTo(&timer, QPoint()), timer.picker()->size());
    EXPECT_EQ(QColor(drawn.pixel(picker.left() + 15, picker.top() + 29)), toQColor(Vude::Ink::x800));
    EXPECT_EQ(QColor(drawn.pixel(picker.center().x(), picker.top())), QColor(Qt::black));

    rig.model->addTimer(300);
    rig.scheduler.advance(100s);
    rig.model->addTimer(3725);
    rig.scheduler.advance(1s);
    ASSERT_EQ(timer.rows().size(), 2u);
    EXPECT_EQ(timer.rows()[0]->text(), "3:19");
    EXPECT_EQ(timer.rows()[1]->text(), "1:02:04");
    EXPECT_TRUE(testsupport::saveScreenshot(timer, "timer-two-timers"));
}

} // namespace
