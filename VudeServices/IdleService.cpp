#include "VudeServices/IdleService.h"

#include "Platform/Power/DBusScreenLockMonitor.h"
#include "Platform/Power/ScreenSaverInhibitor.h"

#include <QPointer>
#include <QThread>

IdleService::IdleService(Scheduler& scheduler, const ClockSource& clock, QObject* parent)
    : IdleService(std::make_unique<ScreenSaverInhibitor>(), std::make_unique<DBusScreenLockMonitor>(), scheduler,
                  clock, parent)
{
}

IdleService::IdleService(std::unique_ptr<DisplaySleepInhibitor> inhibitor,
                         std::unique_ptr<ScreenLockMonitor> lockMonitor, Scheduler& scheduler,
                         const ClockSource& clock, QObject* parent)
    : QObject(parent),
      m_inhibitor(std::move(inhibitor)),
      m_lockMonitor(std::move(lockMonitor)),
      m_scheduler(scheduler),
      m_clock(clock)
{
    // The desktop said no after the pill had said yes: the state follows.
    m_inhibitor->setLostHandler([this](std::uint32_t id) {
        if (!m_isKeepingAwake || id != m_assertionID)
            return;
        if (m_expiry) {
            m_expiry->cancel();
            m_expiry.reset();
        }
        setKeepAwakeUntil(std::nullopt);
        m_assertionID = 0;
        setKeepingAwake(false);
    });
}

IdleService::~IdleService()
{
    m_inhibitor->setLostHandler({});
    shutDown();
}

bool IdleService::isKeepAwakeAvailable()
{
    return m_inhibitor->isAvailable();
}

bool IdleService::startKeepAwake(KeepAwakeDuration duration)
{
    stopKeepAwake();
    const auto id = m_inhibitor->inhibit(kKeepAwakeReason);
    if (!id)
        return false;
    m_assertionID = *id;
    setKeepingAwake(true);

    const auto length = seconds(duration);
    if (!length)
        return true;
    const Duration period = std::chrono::seconds(*length);
    setKeepAwakeUntil(saturatingAdd(m_clock.now(), period));
    m_expiry = m_scheduler.after(period, [service = QPointer<IdleService>(this)] {
        if (service) {
            Q_ASSERT(QThread::currentThread() == service->thread());
            service->stopKeepAwake();
        }
    });
    return true;
}

void IdleService::stopKeepAwake()
{
    if (m_expiry) {
        m_expiry->cancel();
        m_expiry.reset();
    }
    setKeepAwakeUntil(std::nullopt);
    if (!m_isKeepingAwake)
        return;
    m_inhibitor->release(m_assertionID);
    m_assertionID = 0;
    setKeepingAwake(false);
}

void IdleService::toggleKeepAwake(KeepAwakeDuration duration)
{
    if (m_isKeepingAwake)
        stopKeepAwake();
    else
        startKeepAwake(duration);
}

void IdleService::start()
{
    // The monitor replaces its earlier subscription itself.
    m_lockMonitor->start([service = QPointer<IdleService>(this)](bool locked) {
        if (service)
            service->onLockAnnounced(locked);
    });
}

void IdleService::stop()
{
    m_lockMonitor->stop();
    stopKeepAwake();
}

void IdleService::shutDown()
{
    stopKeepAwake();
    stop();
}

void IdleService::onLockAnnounced(bool locked)
{
    Q_ASSERT(QThread::currentThread() == thread());
    if (locked != m_isScreenLocked) {
        m_isScreenLocked = locked;
        emit isScreenLockedChanged(locked);
    }
    if (m_onLockEvent)
        m_onLockEvent(locked ? ScreenLockEvent::locked : ScreenLockEvent::unlocked);
}

void IdleService::setKeepingAwake(bool value)
{
    if (value == m_isKeepingAwake)
        return;
    m_isKeepingAwake = value;
    emit isKeepingAwakeChanged(value);
}

void IdleService::setKeepAwakeUntil(std::optional<Date> value)
{
    if (value == m_keepAwakeUntil)
        return;
    m_keepAwakeUntil = value;
    emit keepAwakeUntilChanged();
}
