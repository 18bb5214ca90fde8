#include "VudeUI/qt/SpringAnimator.h"

SpringAnimator::SpringAnimator(Scheduler& scheduler, const ClockSource& clock, std::vector<double> initial,
                               QObject* parent)
    : QObject(parent), m_scheduler(scheduler), m_clock(clock), m_value(initial), m_target(std::move(initial))
{
}

SpringAnimator::~SpringAnimator()
{
    m_frames.cancel();
}

std::vector<double> SpringAnimator::currentVelocity(Duration elapsed) const
{
    std::vector<double> velocity(m_value.size(), 0.0);
    if (!isAnimating())
        return velocity;
    for (std::size_t i = 0; i < m_tracks.size(); ++i)
        velocity[i] = m_tracks[i].velocity(elapsed);
    return velocity;
}

void SpringAnimator::animateTo(std::vector<double> target, const Vude::Animation& animation)
{
    if (target.size() != m_value.size())
        return;
    if (animation.isInstant()) {
        setValue(std::move(target));
        emit finished();
        return;
    }
    const Date now = m_clock.now();
    // Continue from where the running motion is now, not from its last frame.
    if (isAnimating()) {
        const Duration elapsed = now - m_start;
        for (std::size_t i = 0; i < m_tracks.size(); ++i)
            m_value[i] = m_tracks[i].value(elapsed);
    }
    const std::vector<double> velocity = currentVelocity(now - m_start);
    m_tracks.clear();
    for (std::size_t i = 0; i < m_value.size(); ++i)
        m_tracks.emplace_back(animation, m_value[i], target[i], velocity[i]);
    m_target = std::move(target);
    m_start = now;
    if (isAnimating())
        return;
    m_frames = m_scheduler.every(kFrameInterval, [this] { step(); });
    if (m_startsAtOnce) {
        // A retarget mid-flight keeps its running ticks; only a start from
        // rest would otherwise show nothing for a whole frame.
        m_start = now - kFrameInterval;
        step();
    }
}

void SpringAnimator::setValue(std::vector<double> value)
{
    stop();
    m_target = value;
    m_value = std::move(value);
    emit valueChanged();
}

void SpringAnimator::step()
{
    const Duration elapsed = m_clock.now() - m_start;
    bool done = true;
    for (std::size_t i = 0; i < m_tracks.size(); ++i) {
        m_value[i] = m_tracks[i].value(elapsed);
        done = done && m_tracks[i].isFinished(elapsed);
    }
    if (done) {
        // Rest exactly on the target, not a thousandth short of it.
        m_value = m_target;
        stop();
    }
    emit valueChanged();
    if (done)
        emit finished();
}

void SpringAnimator::stop()
{
    m_frames.cancel();
    m_frames = ScheduledTask();
    m_tracks.clear();
}
