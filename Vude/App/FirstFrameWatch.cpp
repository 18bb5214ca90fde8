#include "Vude/App/FirstFrameWatch.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWindow>

FirstFrameWatch::FirstFrameWatch(Scheduler& scheduler, QObject* parent)
    : QObject(parent), m_scheduler(scheduler)
{
    if (auto* application = QCoreApplication::instance())
        application->installEventFilter(this);
    QPointer<FirstFrameWatch> self(this);
    m_longestWait = m_scheduler.after(kLongestWait, [self] {
        if (self)
            self->shown();
    });
}

FirstFrameWatch::~FirstFrameWatch()
{
    m_longestWait.cancel();
}

void FirstFrameWatch::after(std::function<void()> step)
{
    m_steps.push_back(std::move(step));
    if (m_shown)
        runLater();
}

bool FirstFrameWatch::eventFilter(QObject* watched, QEvent* event)
{
    // The filter sees the exposure before the window handles it, so the steps
    // go after the frame that answers it.
    if (event->type() == QEvent::Expose) {
        const auto* window = qobject_cast<QWindow*>(watched);
        if (window && window->isExposed())
            shown();
    }
    return false;
}

void FirstFrameWatch::shown()
{
    if (m_shown)
        return;
    m_shown = true;
    m_longestWait.cancel();
    if (auto* application = QCoreApplication::instance())
        application->removeEventFilter(this);
    runLater();
}

void FirstFrameWatch::runLater()
{
    QTimer::singleShot(0, this, [this] {
        // A step may add more; those run on a later round.
        for (auto& step : std::exchange(m_steps, {}))
            step();
    });
}
