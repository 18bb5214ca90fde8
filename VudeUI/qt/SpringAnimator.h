#pragma once
// Moves a set of values (a size, a pair of radii, an opacity...) toward a
// target under a Vude::Animation, one frame at a time. Each value is its own
// track with the same curve. Retargeting mid-flight starts new tracks from the
// current values and velocities, so the motion bends without a jump; an
// instant animation (zero duration) applies the target at once.
//
// Frames come from the injected Scheduler and time from the ClockSource, so
// tests step the animation with a ManualScheduler.

#include "VudeKit/ClockSource.h"
#include "VudeKit/Scheduler.h"
#include "VudeUI/AnimationTrack.h"

#include <QObject>

#include <chrono>
#include <vector>

class SpringAnimator final : public QObject {
    Q_OBJECT
public:
    static constexpr Duration kFrameInterval = std::chrono::microseconds(16667); // 60 Hz

    /// `scheduler` and `clock` must outlive the animator.
    SpringAnimator(Scheduler& scheduler, const ClockSource& clock, std::vector<double> initial,
                   QObject* parent = nullptr);
    ~SpringAnimator() override;

    const std::vector<double>& value() const { return m_value; }
    const std::vector<double>& target() const { return m_target; }
    bool isAnimating() const { return m_frames.isActive(); }

    /// Animates from the current values (and velocities) to `target`. A target
    /// of another size than the values is ignored.
    void animateTo(std::vector<double> target, const Vude::Animation& animation);
    /// Jumps to `value` and stops any animation.
    void setValue(std::vector<double> value);
    /// A motion started from rest shows its first frame at once, one frame
    /// into the curve (what the next display refresh would show), instead
    /// of waiting a whole frame for the first tick. Off by default.
    void setStartsAtOnce(bool startsAtOnce) { m_startsAtOnce = startsAtOnce; }

signals:
    /// After every frame that moved the values, and after a jump.
    void valueChanged();
    /// When the values have come to rest at the target.
    void finished();

private:
    void step();
    void stop();
    std::vector<double> currentVelocity(Duration elapsed) const;

    Scheduler& m_scheduler;
    const ClockSource& m_clock;
    std::vector<double> m_value;
    std::vector<double> m_target;
    std::vector<AnimationTrack> m_tracks;
    Date m_start{};
    ScheduledTask m_frames;
    bool m_startsAtOnce = false;
};
