#pragma once
// One wheel of the duration picker: a column of numbers with a unit letter
// ("5 m") that scrolls under the picker's band and rests on whole rows. The
// wheel, a drag and the arrow keys (Page Up/Down, Home, End) all scroll it;
// it takes every wheel event over it, so the Desk never swipes closed under
// a scroll.
//
// `position` is the row centred in the band. It follows the scrolling row by
// row, and whenever it changes the wheel ticks (through the haptic
// performer, at most once per 40 ms) and reports the row's value through
// onChange. The first time the wheel is shown it scrolls to its value; a
// value set from outside scrolls it there at once unless it is centred
// already. Both ticks and report too, as any change of position does.
//
// Painted; rows fade out above and below the band. Its rows and snapping
// are TimerWheelLayout's. Main thread only.

#include "Vude/Desk/TimerWheelLayout.h"
#include "Vude/Toolkit/ViewEnvironment.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class HapticPerformer;
class QImage;
class SpringAnimator;

/// Fades the top `height` points of `layer` out toward its top and bottom:
/// clear at both edges, untouched from 30 % to 70 % of the height.
void fadeWheelEdges(QImage& layer, double height);

class TimerWheel final : public QWidget {
    Q_OBJECT
public:
    /// How long a touchpad's scroll must pause before the wheel snaps.
    static constexpr Duration snapDelay = std::chrono::milliseconds(150);
    static constexpr double numberSize = 17;
    static constexpr double unitSize = 9;

    /// Offers `lower` up to, not including, `upper`. `environment` and
    /// `haptics` (none: no ticks) must outlive the wheel.
    TimerWheel(const ViewEnvironment& environment, HapticPerformer* haptics, int lower, int upper, QString unit,
               double rowHeight, int visibleRows, QWidget* parent = nullptr);
    ~TimerWheel() override;

    /// Reports a newly centred value.
    std::function<void(int value)> onChange;

    int value() const { return m_value; }
    /// The value from the picker; scrolls there at once once shown.
    void setValue(int value);
    /// The value centred in the band; none before the wheel was first shown.
    std::optional<int> position() const;
    const QString& unit() const { return m_unit; }
    /// Points scrolled down from the first row's centre.
    double offset() const;
    const TimerWheelLayout& layout() const { return m_layout; }
    /// Scrolls by whole rows, as the arrow keys do (animated).
    void stepBy(int rows);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    /// Moves the column to `offset` now, stopping any snap under way.
    void jumpTo(double offset);
    /// Scrolls to row `index`, on the hover spring.
    void snapTo(int index);
    /// The row the wheel is heading for: the snap's target, else the centred one.
    int targetRow() const;
    void offsetChanged();
    void setPosition(int index);

    const ViewEnvironment& m_environment;
    HapticPerformer* m_haptics;
    int m_lower;
    QString m_unit;
    TimerWheelLayout m_layout;
    int m_value;
    std::optional<int> m_position;
    HapticThrottle m_throttle;
    std::unique_ptr<SpringAnimator> m_scroll;
    std::optional<int> m_snapTarget;
    bool m_appeared = false;
    // A drag: where it started and the offset then.
    std::optional<double> m_dragStartY;
    double m_dragStartOffset = 0;
    // Wheel notches not yet worth a row, in eighths of a degree.
    int m_wheelRemainder = 0;
    ScheduledTask m_idleSnap;
};
