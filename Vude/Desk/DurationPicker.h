#pragma once
// The timer's length picker: three wheels side by side for hours (0-23),
// minutes and seconds (0-59) over one length in seconds, a band behind the
// middle row, and rows fading out above and below it. It keeps no length of
// its own worth speaking of: the owner hands it the length (setDuration) and
// hears every length a wheel settles on (onChange), always whole seconds.
//
// When the picker is first shown each wheel scrolls to its part of the
// length and reports it, so a fractional length comes back whole (90.7 s
// becomes 90 s). Main thread only.

#include "Vude/Desk/TimerLayout.h"
#include "Vude/Toolkit/ViewEnvironment.h"

#include <QWidget>

#include <array>
#include <functional>

class HapticPerformer;
class TimerWheel;

class DurationPicker final : public QWidget {
    Q_OBJECT
public:
    static constexpr double bandRadius = 7;

    /// `environment` and `haptics` (none: no ticks) must outlive the picker.
    DurationPicker(const ViewEnvironment& environment, HapticPerformer* haptics, double rowHeight, int visibleRows,
                   QWidget* parent = nullptr);

    /// Called with the new length whenever a wheel writes it.
    std::function<void(double seconds)> onChange;

    double duration() const { return m_duration; }
    /// The length shown; the wheels follow at once.
    void setDuration(double seconds);

    TimerWheel* hours() const { return m_wheels[0]; }
    TimerWheel* minutes() const { return m_wheels[1]; }
    TimerWheel* seconds() const { return m_wheels[2]; }
    double rowHeight() const { return m_rowHeight; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    /// A wheel settled on `components`.
    void write(const DurationComponents& components);

    double m_rowHeight;
    int m_visibleRows;
    double m_duration = 0;
    std::array<TimerWheel*, 3> m_wheels{};
};
