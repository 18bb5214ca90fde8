#pragma once
// The small level meter that signals playing media beside the notch: five
// capsules whose heights move on overlapping sine waves while media plays,
// and rest at fixed uneven heights when it is paused or the desktop asks for
// reduced motion. It reads no audio; its motion is a function of time alone.
//
// The view is painted by its owner into a frame; it asks for a repaint every
// display frame, and only while it is shown and animating, so a paused or
// hidden meter costs nothing. Time comes from the injected clock (steady time
// in the app), so a wall-clock jump neither freezes nor skips the motion.

#include "Platform/Settings/ReduceMotionSetting.h"
#include "VudeKit/ClockSource.h"
#include "VudeKit/Geometry.h"
#include "VudeKit/Scheduler.h"

#include <QObject>
#include <QPointer>
#include <QRectF>

#include <array>

class QPainter;

class WaveformView final : public QObject {
    Q_OBJECT
public:
    static constexpr int barCount = 5;
    using Heights = std::array<double, barCount>;

    struct Bar {
        /// Radians per second.
        double speed;
        double phase;
        /// The resting height's share of half the range.
        double restingFactor;
    };
    static constexpr std::array<Bar, barCount> bars{{
        {1.9, 0.0, 0.35},
        {2.7, 1.3, 0.6},
        {2.2, 2.6, 0.8},
        {3.1, 0.7, 0.55},
        {2.4, 1.9, 0.3},
    }};

    /// The heights at `seconds` (since the reference date) while animating.
    static Heights animatedHeights(double seconds, double minHeight, double maxHeight);
    /// The resting heights: at most 40 % of the range above the minimum.
    static Heights staticHeights(double minHeight, double maxHeight);

    struct Style {
        double barWidth = 2.5;
        double spacing = 2.5;
        double maxHeight = 14;
        double minHeight = 3;
    };

    /// `scheduler` and `clock` must outlive the view; without a reduce-motion
    /// setting motion is never reduced.
    WaveformView(bool isPlaying, Style style, Scheduler& scheduler, const ClockSource& clock,
                 const ReduceMotionSetting* reduceMotion, QObject* parent = nullptr);
    ~WaveformView() override;

    bool isPlaying() const { return m_isPlaying; }
    void setPlaying(bool playing);
    const Style& style() const { return m_style; }

    /// Playing, and the desktop does not ask for reduced motion.
    bool isAnimating() const;
    /// Whether the owner shows the view now; the frame timer runs only then.
    void setShown(bool shown);
    bool isShown() const { return m_shown; }
    /// The frame timer is running.
    bool isTicking() const { return m_frames.isActive(); }

    /// The heights to draw now.
    Heights heights() const;
    /// The row's size: five bars and four gaps wide, `maxHeight` high.
    Size size() const;
    /// Where the row goes, centred in `frame`: all a frame of motion changes.
    QRectF rowRect(const QRectF& frame) const;
    /// Draws the row centred in `frame`.
    void paint(QPainter& painter, const QRectF& frame) const;

signals:
    /// A display frame passed while animating: draw again.
    void frameDue();

private:
    void updateTimer();

    bool m_isPlaying;
    Style m_style;
    Scheduler& m_scheduler;
    const ClockSource& m_clock;
    QPointer<const ReduceMotionSetting> m_reduceMotion;
    bool m_shown = false;
    ScheduledTask m_frames;
};
