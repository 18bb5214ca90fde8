#pragma once
// The Desk's countdowns. With no timer it offers the duration picker, the
// presets 1m, 5m and 10m and "Start"; once timers exist it lists them (a
// ring, the time left, play or pause; "Remove" in a row's menu) over "Add
// Timer", which starts another of the length last chosen. The length lasts
// as long as the widget (300 s when it is made); the picker comes back,
// fresh, when the last timer goes.
//
// It keeps no timers: it shows the binding's and calls its closures. Its own
// clock reads the wall clock every 0.5 s, and only while the widget is
// shown. Decisions are TimerLayout's. Main thread only.

#include "Vude/Desk/DeskWidget.h"
#include "VudeKit/Scheduler.h"

#include <array>

class DurationPicker;
class PlainButton;
class TimerRow;
template <typename Key, typename Row>
class KeyedRowList;

class TimerWidget final : public DeskWidget {
    Q_OBJECT
public:
    static constexpr Duration tick = std::chrono::milliseconds(500);
    static constexpr double initialDuration = 300;
    static constexpr double rowHeight = 26;
    static constexpr int visibleRows = 3;
    static constexpr double spacing = 8;

    /// `environment` must outlive the widget.
    TimerWidget(const DeskEnvironment& environment, QWidget* parent = nullptr);
    ~TimerWidget() override;

    void bind(const WidgetBinding& binding) override;

    /// The length the next timer gets, in seconds.
    double duration() const { return m_duration; }
    /// The widget's clock.
    Date now() const { return m_now; }
    /// Whether the clock is running.
    bool isTicking() const { return m_ticks.isActive(); }

    /// With no timers: the picker, the preset chips and Start; none otherwise.
    DurationPicker* picker() const;
    std::array<PlainButton*, 3> presetButtons() const;
    PlainButton* startButton() const;
    /// With timers: the rows in order and Add Timer; none otherwise.
    std::vector<TimerRow*> rows() const;
    PlainButton* addButton() const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    class Content;
    void setDuration(double seconds);
    void readClock();

    const DeskEnvironment& m_environment;
    TimerBinding m_binding;
    double m_duration = initialDuration;
    Date m_now;
    ScheduledTask m_ticks;
    QWidget* m_frame = nullptr;
    Content* m_content = nullptr;
};
