#pragma once
// What start-up puts off until the notch is on screen: work that would take
// the processor from the first frame (programs spawned, a location source
// made) runs once a window of the app has been exposed and the event loop
// has come round again, so that frame is drawn first. Should no window ever
// show (no screen), it runs after kLongestWait all the same.

#include "VudeKit/Scheduler.h"

#include <QObject>

#include <functional>
#include <vector>

class FirstFrameWatch final : public QObject {
    Q_OBJECT
public:
    static constexpr Duration kLongestWait = std::chrono::seconds(2);

    /// Watches every window of the application from now on; `scheduler`
    /// must outlive the watch.
    explicit FirstFrameWatch(Scheduler& scheduler, QObject* parent = nullptr);
    ~FirstFrameWatch() override;

    /// Runs `step` from the event loop after the first frame, in the order
    /// given; once that frame was drawn, on the loop's next round. Steps still
    /// waiting when the watch goes never run.
    void after(std::function<void()> step);

    bool hasShown() const { return m_shown; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void shown();
    void runLater();

    Scheduler& m_scheduler;
    ScheduledTask m_longestWait;
    std::vector<std::function<void()>> m_steps;
    bool m_shown = false;
};
