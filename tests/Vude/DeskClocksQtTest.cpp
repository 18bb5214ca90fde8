// The Desk's clocks (the media widget's half-second tick, the calendar's
// 30-second one) run only while their widgets are on an open Desk: a closed
// Desk never wakes the process.
#include "Vude/Desk/RavoView.h"

#include "Vude/Desk/CalendarWidget.h"
#include "Vude/Desk/DeskWidget.h"
#include "Vude/Desk/MediaWidget.h"

#include "VudeKit/WidgetLayout.h"
#include "VudeUI/qt/QtTokens.h"

#include "DeskRig.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace std::chrono_literals;

namespace {

using desktest::DeskRig;

/// A manual scheduler that counts the actions it runs.
class CountingScheduler final : public Scheduler {
public:
    explicit CountingScheduler(ManualScheduler& inner) : m_inner(inner) {}
    ScheduledTask after(Duration delay, std::function<void()> action) override
    {
        return m_inner.after(delay, counted(std::move(action)));
    }
    ScheduledTask every(Duration interval, std::function<void()> action) override
    {
        return m_inner.every(interval, counted(std::move(action)));
    }
    int fired = 0;

private:
    std::function<void()> counted(std::function<void()> action)
    {
        return [this, action = std::move(action)] {
            ++fired;
            action();
        };
    }
    ManualScheduler& m_inner;
};

class DeskClocksQtTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        pinFontFamilies("DejaVu Sans", "DejaVu Sans Mono");
        NowPlayingState playing;
        playing.title = "Song";
        playing.isPlaying = true;
        playing.duration = 200;
        playing.elapsed = 10;
        playing.elapsedAsOf = rig.clock.now();
        playing.playbackRate = 1;
        rig.model->setNowPlaying(playing);

        auto calendar = std::make_shared<notchtest::FakeCalendarService>();
        calendar->currentAccess = NotchCalendarAccess::granted;
        NotchCalendarEvent event;
        event.id = "call";
        event.title = "Call";
        event.start = rig.clock.now() + 1h;
        event.end = event.start + 30min;
        calendar->days = {{std::chrono::floor<std::chrono::days>(event.start), {event}}};
        rig.model->calendarService = calendar;

        const std::vector<WidgetID> row{WidgetID::media, WidgetID::calendar};
        rig.model->setLayout(WidgetLayoutEngine{54, 22, 18, 1100}.layout(row, {row.begin(), row.end()}, {}, 1360));
        rig.model->send(NotchEvent::click());
        rig.model->send(NotchEvent::selectTab(RiziDar::ravo));
    }
    void TearDown() override
    {
        view.reset();
        unpinFontFamilies();
    }

    void open()
    {
        view = std::make_unique<RavoView>(RiziDar::ravo, *rig.model, RavoView::defaultInset, environment);
        const Size content = rig.model->contentSize(rig.model->state());
        view->resize(int(std::lround(content.width)), int(std::lround(content.height)));
        view->show();
    }

    DeskRig rig;
    CountingScheduler counting{rig.scheduler};
    DeskEnvironment environment{{counting, rig.clock, &rig.reduceMotion}, rig.clock, rig.notifications};
    std::unique_ptr<RavoView> view;
};

TEST_F(DeskClocksQtTest, BothClocksTickOnlyWhileTheDeskIsOpen)
{
    open();
    auto* media = dynamic_cast<MediaWidget*>(view->widget(WidgetID::media));
    auto* calendar = dynamic_cast<CalendarWidget*>(view->widget(WidgetID::calendar));
    ASSERT_TRUE(media && calendar);
    rig.scheduler.advance(30s);
    EXPECT_EQ(counting.fired, 60 + 1) << "every half second and every 30 seconds";
    EXPECT_EQ(media->now(), rig.clock.now());
    EXPECT_EQ(calendar->now(), rig.clock.now());

    // Hidden with the panel: nothing ticks.
    view->hide();
    const int before = counting.fired;
    rig.scheduler.advance(5min);
    EXPECT_EQ(counting.fired, before);
    view->show();

    // Closed: the root view drops the Desk, and nothing ticks either.
    rig.model->send(NotchEvent::forceClose());
    view.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const int closed = counting.fired;
    rig.scheduler.advance(10min);
    EXPECT_EQ(counting.fired, closed);
}

} // namespace
