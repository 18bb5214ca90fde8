#include "Vude/Bridge/CalendarServiceAdapter.h"

#include "Vude/Shell/NotchDeskAdapters.h"

#include <utility>

namespace {

NotchCalendarAccess notchAccess(CalendarAccess access)
{
    switch (access) {
    case CalendarAccess::granted:
        return NotchCalendarAccess::granted;
    case CalendarAccess::notDetermined:
        break;
    case CalendarAccess::writeOnly:
        return NotchCalendarAccess::writeOnly;
    case CalendarAccess::denied:
        return NotchCalendarAccess::denied;
    case CalendarAccess::restricted:
        return NotchCalendarAccess::restricted;
    }
    return NotchCalendarAccess::notDetermined;
}

} // namespace

CalendarServiceAdapter::CalendarServiceAdapter(std::shared_ptr<CalendarService> service)
    : m_service(std::move(service))
{
    connect(m_service.get(), &CalendarService::accessChanged, this, &NotchCalendarService::changed);
    connect(m_service.get(), &CalendarService::eventsChanged, this, &NotchCalendarService::changed);
}

NotchCalendarAccess CalendarServiceAdapter::access() const
{
    return notchAccess(m_service->access());
}

std::optional<std::string> CalendarServiceAdapter::requestError() const
{
    return m_service->requestError();
}

void CalendarServiceAdapter::start(std::function<void()> done)
{
    m_service->start(std::move(done));
}

std::vector<NotchCalendarDay> CalendarServiceAdapter::grouped() const
{
    std::vector<NotchCalendarDay> days;
    for (const CalendarDay& day : m_service->grouped())
        days.push_back(notchCalendarDay(day));
    return days;
}

BridgeCalendarFilter CalendarServiceAdapter::filter() const
{
    const CalendarFilter& filter = m_service->filter();
    return {
        .visibleCalendars = filter.visibleCalendars,
        .daysBehind = filter.daysBehind,
        .daysAhead = filter.daysAhead,
        .showPastEventsToday = filter.showPastEventsToday,
        .showAllDayEvents = filter.showAllDayEvents,
        .showMultiDayEvents = filter.showMultiDayEvents,
    };
}

void CalendarServiceAdapter::setFilter(const BridgeCalendarFilter& filter)
{
    m_service->setFilter({
        .visibleCalendars = filter.visibleCalendars,
        .daysBehind = filter.daysBehind,
        .daysAhead = filter.daysAhead,
        .showPastEventsToday = filter.showPastEventsToday,
        .showAllDayEvents = filter.showAllDayEvents,
        .showMultiDayEvents = filter.showMultiDayEvents,
    });
}

void CalendarServiceAdapter::stop()
{
    m_service->stop();
}

std::optional<BridgeCalendarEvent> CalendarServiceAdapter::upcoming(Duration within) const
{
    const auto event = m_service->upcoming(within);
    if (!event)
        return std::nullopt;
    return BridgeCalendarEvent{.id = event->id, .title = event->title, .start = event->start};
}

void CalendarServiceAdapter::refresh(bool hard, std::function<void()> done)
{
    m_service->refresh(hard, std::move(done));
}
