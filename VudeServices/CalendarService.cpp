#include "VudeServices/CalendarService.h"

#include "Platform/Core/LocalCalendar.h"
#include "Platform/Core/MainThread.h"
#include "Platform/Desktop/CalendarFolderStore.h"
#include "VudeServices/CalendarRules.h"

#include <QPointer>

const CalendarFilter CalendarService::kInitialFilter{{}, 7, 7, false, false, false};

CalendarService::CalendarService(std::unique_ptr<CalendarStore> store, const ClockSource& clock,
                                 Scheduler& scheduler, QObject* parent)
    : QObject(parent),
      m_store(std::move(store)),
      m_clock(clock),
      m_scheduler(scheduler),
      m_access(calendarAccess(m_store->authorizationStatus()))
{
}

CalendarService::~CalendarService()
{
    stop();
}

std::unique_ptr<CalendarService> CalendarService::forUser(const ClockSource& clock, Scheduler& scheduler,
                                                          TraceSink trace)
{
    return std::make_unique<CalendarService>(
        std::make_unique<CalendarFolderStore>(CalendarFolderAccess::standardFolder(), scheduler, std::move(trace)),
        clock, scheduler);
}

CalendarAccess CalendarService::currentAccess() const
{
    return calendarAccess(m_store->authorizationStatus());
}

void CalendarService::start(std::function<void()> done)
{
    if (m_access == CalendarAccess::notDetermined) {
        // One question at a time: a second start() waits for the same answer.
        const bool asking = !m_waitingStarts.empty();
        m_waitingStarts.push_back(done ? std::move(done) : [] {});
        if (asking)
            return;
        QPointer<CalendarService> self(this);
        m_store->requestFullAccess([self](CalendarStore::AccessAnswer answer) {
            auto resume = [self, answer = std::move(answer)] {
                if (self)
                    self->finishRequest(answer);
            };
            if (isMainThread())
                resume();
            else
                postToMainThread(std::move(resume));
        });
        return;
    }
    finishStart();
    if (done)
        done();
}

void CalendarService::finishRequest(const CalendarStore::AccessAnswer& answer)
{
    if (answer.has_value()) {
        setAccess(answer.value() ? CalendarAccess::granted : currentAccess());
        setRequestError(std::nullopt);
    } else {
        setAccess(currentAccess());
        setRequestError(answer.error());
    }
    finishStart();
    const auto waiting = std::move(m_waitingStarts);
    m_waitingStarts.clear();
    for (const auto& done : waiting)
        done();
}

void CalendarService::finishStart()
{
    if (m_access != CalendarAccess::granted)
        return;
    QObject::disconnect(m_changeObserver);
    // The service is the connection's context: once it is gone, a change
    // reaches nothing.
    m_changeObserver = connect(m_store.get(), &CalendarStore::changed, this, [this] { refresh(false); });
    m_timer.cancel();
    QPointer<CalendarService> self(this);
    m_timer = m_scheduler.every(kRefreshInterval, [self] {
        if (self)
            self->refresh(true);
    });
    refresh(true);
}

void CalendarService::stop()
{
    QObject::disconnect(m_changeObserver);
    m_changeObserver = {};
    m_timer.cancel();
    m_timer = {};
}

void CalendarService::refresh(bool hard)
{
    // Days are the user's current ones, even after a move to another zone.
    LocalCalendar::refreshTimeZone();
    if (m_access != CalendarAccess::granted) {
        setEvents({});
        setCalendars({});
        return;
    }
    if (hard) {
        m_store->reset();
        m_store->refreshSourcesIfNecessary();
    }
    const std::vector<CalendarStoreCalendar> storeCalendars = m_store->calendars();
    setCalendars(CalendarRules::sortedSources(storeCalendars));

    std::vector<std::string> kept;
    for (const auto& calendar : storeCalendars)
        if (m_filter.visibleCalendars.empty() || m_filter.visibleCalendars.contains(calendar.identifier))
            kept.push_back(calendar.identifier);
    if (kept.empty()) {
        setEvents({});
        setLastRefresh(m_clock.now());
        return;
    }

    const Date now = m_clock.now();
    const auto window = CalendarRules::window(now, m_filter.daysBehind, m_filter.daysAhead);
    if (!window)
        return;
    std::vector<CalendarEvent> events;
    for (const auto& storeEvent : m_store->events(window->start, window->end, kept)) {
        auto event = CalendarRules::snapshot(storeEvent, storeCalendars, m_detector);
        if (event && CalendarRules::includes(*event, m_filter, window->today, now))
            events.push_back(std::move(*event));
    }
    CalendarRules::sortByStart(events);
    setEvents(std::move(events));
    setLastRefresh(m_clock.now());
}

void CalendarService::setFilter(const CalendarFilter& filter)
{
    if (filter == m_filter)
        return;
    m_filter = filter;
    emit filterChanged();
    refresh(false);
}

std::vector<CalendarDay> CalendarService::grouped() const
{
    return CalendarRules::grouped(m_events);
}

std::optional<CalendarEvent> CalendarService::upcoming(Duration within) const
{
    return CalendarRules::upcoming(m_events, m_clock.now(), within);
}

void CalendarService::setEvents(std::vector<CalendarEvent> events)
{
    if (events == m_events)
        return;
    m_events = std::move(events);
    emit eventsChanged();
}

void CalendarService::setCalendars(std::vector<CalendarSource> calendars)
{
    if (calendars == m_calendars)
        return;
    m_calendars = std::move(calendars);
    emit calendarsChanged();
}

void CalendarService::setAccess(CalendarAccess access)
{
    if (access == m_access)
        return;
    m_access = access;
    emit accessChanged();
}

void CalendarService::setLastRefresh(std::optional<Date> date)
{
    if (date == m_lastRefresh)
        return;
    m_lastRefresh = date;
    emit lastRefreshChanged();
}

void CalendarService::setRequestError(std::optional<std::string> error)
{
    if (error == m_requestError)
        return;
    m_requestError = std::move(error);
    emit requestErrorChanged();
}
