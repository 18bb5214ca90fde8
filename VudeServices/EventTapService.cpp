#include "VudeServices/EventTapService.h"

#include "VudeKit/Numbers.h"

#include <chrono>

namespace {

// Times handler calls: only differences are read, and a change of the wall
// clock must not make a call look slow.
class MonotonicClock final : public ClockSource {
public:
    Date now() const override
    {
        return Date(std::chrono::duration_cast<Duration>(std::chrono::steady_clock::now().time_since_epoch()));
    }
};

const MonotonicClock& monotonicClock()
{
    static const MonotonicClock clock;
    return clock;
}

KeyTapMode keyTapMode(EventTapService::Mode mode)
{
    return mode == EventTapService::Mode::intercept ? KeyTapMode::intercept : KeyTapMode::listen;
}

} // namespace

std::string EventTapService::Status::description() const
{
    std::string text(rawValue(m_kind));
    if (m_kind == Kind::running)
        text += "(" + std::string(rawValue(m_mode)) + ")";
    else if (m_kind == Kind::degradedToListen)
        text += "(" + m_reason + ")";
    return text;
}

bool EventTapService::Status::operator==(const Status& other) const
{
    if (m_kind != other.m_kind)
        return false;
    if (m_kind == Kind::running)
        return m_mode == other.m_mode;
    if (m_kind == Kind::degradedToListen)
        return m_reason == other.m_reason;
    return true;
}

EventTapService::EventTapService(std::unique_ptr<KeyTapBackend> backend, Scheduler& scheduler)
    : EventTapService(std::move(backend), nullptr, scheduler, monotonicClock())
{
}

EventTapService::EventTapService(std::unique_ptr<KeyTapBackend> backend, std::shared_ptr<InputAccessProbe> access,
                                 Scheduler& scheduler, const ClockSource& clock)
    : m_backend(std::move(backend)), m_access(std::move(access)), m_scheduler(scheduler), m_clock(clock)
{
}

EventTapService::~EventTapService()
{
    m_fallBack.cancel();
    stop();
}

bool EventTapService::hasAccessibility()
{
    return InputAccessProbe::standard()->canIntercept(mediaKeySymbols());
}

bool EventTapService::requestAccessibility()
{
    return hasAccessibility();
}

EventTapService::InputMonitoring EventTapService::inputMonitoring()
{
    switch (InputAccessProbe::standard()->inputMonitoring()) {
    case InputMonitoringAccess::granted:
        return InputMonitoring::granted;
    case InputMonitoringAccess::denied:
        return InputMonitoring::denied;
    case InputMonitoringAccess::unknown:
        break;
    }
    return InputMonitoring::unknown;
}

bool EventTapService::requestInputMonitoring()
{
    return inputMonitoring() == InputMonitoring::granted;
}

InputAccessProbe& EventTapService::access() const
{
    return m_access ? *m_access : *InputAccessProbe::standard();
}

EventTapService::Status EventTapService::start(Mode mode)
{
    stop();
    if (access().inputMonitoring() != InputMonitoringAccess::granted) {
        setStatus(Status::needsInputMonitoring());
        return m_status;
    }
    if (mode == Mode::intercept && !access().canIntercept(mediaKeySymbols())) {
        setStatus(Status::needsAccessibility());
        return m_status;
    }
    const std::span<const KeySymbol> symbols = mediaKeySymbols();
    auto started = m_backend->start(keyTapMode(mode), {symbols.begin(), symbols.end()},
                                    [this](const KeyTapEvent& event) { return process(event); });
    if (!started) {
        setStatus(mode == Mode::intercept ? Status::needsAccessibility() : Status::needsInputMonitoring());
        return m_status;
    }
    m_hasTap = true;
    m_mode = mode;
    m_healthTimer = m_scheduler.every(healthCheckInterval, [this] {
        if (m_hasTap && !m_backend->isEnabled())
            m_backend->enable();
    });
    setStatus(Status::running(mode));
    return m_status;
}

void EventTapService::stop()
{
    m_healthTimer.cancel();
    m_healthTimer = {};
    if (m_hasTap) {
        m_hasTap = false;
        m_backend->stop();
    }
    if (m_status != Status::stopped())
        setStatus(Status::stopped());
}

bool EventTapService::isHeldByAnotherProgram(MediaKey key)
{
    if (m_hasTap && m_mode == Mode::intercept)
        return false;
    const std::vector<KeySymbol> symbols = symbolsOf(key);
    return access().isHeldByAnotherProgram(symbols);
}

bool EventTapService::process(const KeyTapEvent& tapped)
{
    const auto event = MediaKeyEvent::decode(tapped);
    if (!event || !m_handler)
        return false;
    // A copy: the handler may install another one while it runs.
    const Handler handler = m_handler;
    const Date begin = m_clock.now();
    const bool handled = handler(*event);
    const Duration elapsed = m_clock.now() - begin;

    if (elapsed > slowHandlerLimit) {
        ++m_slowCallbackStrikes;
        // One fall-back for a run of slow calls: the keys of a run can arrive
        // before the first fall-back has had its turn.
        if (m_slowCallbackStrikes >= 2 && m_mode == Mode::intercept && !m_isFallBackPending) {
            m_isFallBackPending = true;
            m_fallBack = m_scheduler.after(Duration::zero(), [this, elapsed] { fallBackToListening(elapsed); });
        }
    } else {
        m_slowCallbackStrikes = 0;
    }
    // The key in hand is still removed even when a fall-back was just planned.
    return m_mode == Mode::intercept && handled;
}

void EventTapService::fallBackToListening(Duration slowCall)
{
    m_isFallBackPending = false;
    start(Mode::listen);
    const auto milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(slowCall).count();
    setStatus(Status::degradedToListen("handler took " + formatInteger(milliseconds) + " ms twice"));
}

void EventTapService::setStatus(Status status)
{
    m_status = std::move(status);
    if (m_onStatusChange) {
        // A copy: the status handler may replace itself.
        const StatusHandler handler = m_onStatusChange;
        handler(m_status);
    }
}
