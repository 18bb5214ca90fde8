#include "VudeServices/CalendarService.h"

#include "Platform/Core/LocalCalendar.h"
#include "Platform/Core/MainThread.h"
#include "Platform/Desktop/CalendarFolderStore.h"
#include "VudeServices/CalendarRules.h"

#include <QPointer>

#include <algorithm>
#include <iterator>
#include <memory>
#include <unordered_map>
#include <utility>

const CalendarFilter CalendarService::kInitialFilter{{}, 7, 7, false, false, false};

// What a read becomes, made where the read ran.
struct CalendarService::Prepared {
    std::vector<CalendarSource> calendars;
    bool anyVisible = false;
    bool windowed = false;
    /// The events to publish; none when they equal `comparedWith`.
    std::shared_ptr<const std::vector<CalendarEvent>> events;
    std::shared_ptr<const std::vector<CalendarEvent>> comparedWith;
};

// Turns the store's events into the Desk's, keeping what each event of the
// last read became: converting one looks for a meeting link in its notes,
// which a read that changed one file need not do again for the others.
class CalendarService::Converter {
public:
    Prepared prepare(CalendarStoreSnapshot snapshot, const CalendarFilter& filter, Date now,
                     const std::optional<CalendarRules::Window>& window,
                     std::shared_ptr<const std::vector<CalendarEvent>> published);

private:
    struct Conversion {
        std::shared_ptr<const CalendarStoreEvent> source;
        std::optional<CalendarEvent> event;
        /// The last read that held it.
        std::uint64_t pass = 0;
    };
    /// New event objects beyond this many are matched to the old by content.
    static constexpr std::size_t kWorthMatching = 64;

    const MeetingLinkDetector m_detector{};
    std::unordered_map<const CalendarStoreEvent*, Conversion> m_conversions;
    std::uint64_t m_pass = 0;
    /// The calendars the conversions were made for.
    std::vector<CalendarStoreCalendar> m_calendars;
};

CalendarService::CalendarService(std::unique_ptr<CalendarStore> store, const ClockSource& clock,
                                 Scheduler& scheduler, QObject* parent)
    : QObject(parent),
      m_store(std::move(store)),
      m_clock(clock),
      m_scheduler(scheduler),
      m_access(calendarAccess(m_store->authorizationStatus())),
      m_converter(std::make_shared<Converter>())
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
    finishStart(std::move(done));
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
    auto waiting = std::move(m_waitingStarts);
    m_waitingStarts.clear();
    finishStart([waiting = std::move(waiting)] {
        for (const auto& done : waiting)
            done();
    });
}

void CalendarService::finishStart(std::function<void()> done)
{
    if (m_access != CalendarAccess::granted) {
        if (done)
            done();
        return;
    }
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
    refresh(true, std::move(done));
}

void CalendarService::stop()
{
    QObject::disconnect(m_changeObserver);
    m_changeObserver = {};
    m_timer.cancel();
    m_timer = {};
}

void CalendarService::refresh(bool hard, std::function<void()> done)
{
    if (m_access != CalendarAccess::granted) {
        setEvents({});
        setCalendars({});
        if (done)
            done();
        return;
    }
    m_readWanted = true;
    m_wantedHard = m_wantedHard || hard;
    if (done)
        m_waitingRefreshes.push_back(std::move(done));
    if (!m_reading)
        startRead();
}

void CalendarService::startRead()
{
    // Days are the user's current ones, even after a move to another zone.
    LocalCalendar::refreshTimeZone();
    m_readWanted = false;
    CalendarStoreRead request;
    request.hard = std::exchange(m_wantedHard, false);
    request.visibleCalendars = m_filter.visibleCalendars;
    const Date now = m_clock.now();
    const auto window = CalendarRules::window(now, m_filter.daysBehind, m_filter.daysAhead);
    if (window)
        request.window = std::pair{window->start, window->end};
    auto waiting = std::move(m_waitingRefreshes);
    m_waitingRefreshes.clear();
    m_reading = true;
    QPointer<CalendarService> self(this);
    // The converter and the published events are shared with the read, so
    // that they outlive the service while a read finishes.
    m_store->readAndPrepare(request, [self, converter = m_converter, published = m_events, filter = m_filter, now,
                                      window, waiting = std::move(waiting)](CalendarStoreSnapshot snapshot) mutable
                            -> std::function<void()> {
        auto prepared = std::make_shared<Prepared>(
            converter->prepare(std::move(snapshot), filter, now, window, std::move(published)));
        return [self, filter, prepared, waiting = std::move(waiting)]() mutable {
            if (!self)
                return;
            self->m_reading = false;
            if (filter != self->m_filter) {
                // Read for a filter no longer in force: its callers wait for
                // the read the new filter asked for.
                waiting.insert(waiting.end(), std::make_move_iterator(self->m_waitingRefreshes.begin()),
                               std::make_move_iterator(self->m_waitingRefreshes.end()));
                self->m_waitingRefreshes = std::move(waiting);
                self->m_readWanted = true;
                self->startRead();
                return;
            }
            self->finishRead(std::move(*prepared));
            if (self && self->m_readWanted && !self->m_reading)
                self->startRead();
            for (const auto& done : waiting)
                done();
        };
    });
}

CalendarService::Prepared CalendarService::Converter::prepare(
    CalendarStoreSnapshot snapshot, const CalendarFilter& filter, Date now,
    const std::optional<CalendarRules::Window>& window, std::shared_ptr<const std::vector<CalendarEvent>> published)
{
    Prepared prepared;
    const std::vector<CalendarStoreCalendar>& storeCalendars = snapshot.calendars;
    prepared.calendars = CalendarRules::sortedSources(storeCalendars);
    for (const auto& calendar : storeCalendars)
        prepared.anyVisible = prepared.anyVisible || filter.visibleCalendars.empty() ||
                              filter.visibleCalendars.contains(calendar.identifier);
    prepared.windowed = window.has_value();
    if (!prepared.anyVisible || !window)
        return prepared;
    if (storeCalendars != m_calendars) {
        m_conversions.clear();
        m_calendars = storeCalendars;
    }
    // The same event object as last time is the same event. A store that
    // read everything anew (a hard refresh) hands out new objects for the
    // same events: then they are matched by what they hold.
    std::size_t unknown = 0;
    for (const auto& storeEvent : snapshot.events)
        unknown += storeEvent && !m_conversions.contains(storeEvent.get());
    std::unordered_multimap<std::string, Conversion*> byContent;
    const auto contentKey = [](const CalendarStoreEvent& event) {
        return event.calendarIdentifier.value_or("") + '\n' +
               event.eventIdentifier.value_or(event.calendarItemIdentifier) + '\n' +
               (event.start ? std::to_string(event.start->time_since_epoch().count()) : "");
    };
    if (unknown > kWorthMatching)
        for (auto& [pointer, conversion] : m_conversions)
            byContent.emplace(contentKey(*pointer), &conversion);

    // Kept in place: most events are the same objects as last time.
    const std::uint64_t pass = ++m_pass;
    std::vector<const CalendarEvent*> kept;
    kept.reserve(snapshot.events.size());
    for (auto& storeEvent : snapshot.events) {
        if (!storeEvent)
            continue;
        auto [conversion, added] = m_conversions.try_emplace(storeEvent.get());
        conversion->second.pass = pass;
        if (added) {
            std::optional<std::optional<CalendarEvent>> reused;
            if (!byContent.empty()) {
                auto [first, last] = byContent.equal_range(contentKey(*storeEvent));
                for (; first != last && !reused; ++first)
                    if (first->second->source && *first->second->source == *storeEvent)
                        reused = first->second->event;
            }
            conversion->second.event =
                reused ? std::move(*reused) : CalendarRules::snapshot(*storeEvent, storeCalendars, m_detector);
            conversion->second.source = std::move(storeEvent);
        }
        const std::optional<CalendarEvent>& event = conversion->second.event;
        if (event && CalendarRules::includes(*event, filter, window->today, now))
            kept.push_back(&*event);
    }
    std::erase_if(m_conversions, [pass](const auto& entry) { return entry.second.pass != pass; });
    // Ordered as CalendarRules::sortByStart orders, without copying events
    // that may well equal those published.
    std::stable_sort(kept.begin(), kept.end(),
                     [](const CalendarEvent* a, const CalendarEvent* b) { return a->start < b->start; });
    prepared.comparedWith = std::move(published);
    const auto same = [&] {
        const std::vector<CalendarEvent>& before = *prepared.comparedWith;
        return before.size() == kept.size() &&
               std::equal(kept.begin(), kept.end(), before.begin(),
                          [](const CalendarEvent* a, const CalendarEvent& b) { return *a == b; });
    };
    if (!prepared.comparedWith || !same()) {
        auto events = std::make_shared<std::vector<CalendarEvent>>();
        events->reserve(kept.size());
        for (const CalendarEvent* event : kept)
            events->push_back(*event);
        prepared.events = std::move(events);
    }
    return prepared;
}

void CalendarService::finishRead(Prepared prepared)
{
    // Access withdrawn while reading: refresh() cleared what was shown.
    if (m_access != CalendarAccess::granted)
        return;
    setCalendars(std::move(prepared.calendars));
    if (!prepared.anyVisible) {
        setEvents({});
        setLastRefresh(m_clock.now());
        return;
    }
    if (!prepared.windowed)
        return;
    if (prepared.comparedWith == m_events) {
        if (prepared.events) {
            m_events = std::move(prepared.events);
            emit eventsChanged();
        }
    } else {
        // Published since the read began: compare here.
        setEvents(prepared.events ? *prepared.events : *prepared.comparedWith);
    }
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
    return CalendarRules::grouped(*m_events);
}

std::optional<CalendarEvent> CalendarService::upcoming(Duration within) const
{
    return CalendarRules::upcoming(*m_events, m_clock.now(), within);
}

void CalendarService::setEvents(std::vector<CalendarEvent> events)
{
    if (events == *m_events)
        return;
    m_events = std::make_shared<const std::vector<CalendarEvent>>(std::move(events));
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
