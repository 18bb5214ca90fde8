#include "Platform/Core/QtScheduler.h"

#include "VudeKit/Numbers.h"

#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>

QtScheduler::QtScheduler() = default;
QtScheduler::~QtScheduler() = default;

ScheduledTask QtScheduler::after(Duration delay, std::function<void()> action)
{
    return start(delay, false, std::move(action));
}

ScheduledTask QtScheduler::every(Duration interval, std::function<void()> action)
{
    return start(interval, true, std::move(action));
}

ScheduledTask QtScheduler::start(Duration interval, bool repeating, std::function<void()> action)
{
    using namespace std::chrono;
    auto* timer = new QTimer(&m_timers);
    timer->setSingleShot(!repeating);
    // Sub-second delays (ticks, animations, debounces) need the precise timer;
    // the coarse one may fire 5 % late.
    timer->setTimerType(interval < seconds(1) ? Qt::PreciseTimer : Qt::CoarseTimer);
    const auto milliseconds = saturatingCast<int>(std::ceil(static_cast<double>(interval.count()) / 1000.0));
    timer->setInterval(std::max(milliseconds, 0));

    auto state = std::make_shared<ScheduledTask::State>();
    QPointer<QTimer> guard(timer);
    state->onCancel = [guard] {
        if (guard) {
            guard->stop();
            guard->deleteLater();
        }
    };
    QObject::connect(timer, &QTimer::timeout, timer, [timer, repeating, state, action = std::move(action)] {
        if (state->cancelled)
            return;
        if (!repeating) {
            state->finished = true;
            timer->deleteLater();
        }
        action();
    });
    timer->start();
    return ScheduledTask(state);
}
