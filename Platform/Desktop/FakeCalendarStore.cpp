#include "Platform/Desktop/FakeCalendarStore.h"

#include <algorithm>

int FakeCalendarStore::observerCount() const
{
    return receivers(SIGNAL(changed()));
}

void FakeCalendarStore::answerPendingRequests()
{
    auto pending = std::move(m_pending);
    m_pending.clear();
    for (const auto& handler : pending)
        answer(handler);
}

void FakeCalendarStore::readAndPrepare(const CalendarStoreRead& request, Prepare prepare)
{
    reads.push_back(request);
    if (holdsReads)
        m_pendingReads.emplace_back(request, std::move(prepare));
    else
        CalendarStore::readAndPrepare(request, std::move(prepare));
}

void FakeCalendarStore::finishPendingReads()
{
    auto pending = std::move(m_pendingReads);
    m_pendingReads.clear();
    for (auto& [request, prepare] : pending)
        CalendarStore::readAndPrepare(request, std::move(prepare));
}

void FakeCalendarStore::requestFullAccess(std::function<void(AccessAnswer)> handler)
{
    ++requestCount;
    if (holdsRequests)
        m_pending.push_back(std::move(handler));
    else
        answer(handler);
}

void FakeCalendarStore::answer(const std::function<void(AccessAnswer)>& handler)
{
    status = statusAfterRequest;
    handler(requestAnswer);
}

std::vector<CalendarStoreCalendar> FakeCalendarStore::calendars()
{
    ++calendarsCount;
    return calendarList;
}

std::vector<CalendarStoreEvent> FakeCalendarStore::events(Date start, Date end,
                                                          const std::vector<std::string>& calendarIdentifiers)
{
    ++eventsCount;
    lastWindow = std::pair(start, end);
    lastCalendarIdentifiers = calendarIdentifiers;
    std::vector<CalendarStoreEvent> result;
    for (const auto& event : eventList) {
        if (event.calendarIdentifier &&
            std::find(calendarIdentifiers.begin(), calendarIdentifiers.end(), *event.calendarIdentifier) ==
                calendarIdentifiers.end())
            continue;
        // Events without dates are handed out as they are: a real store may
        // hold such records.
        if (event.start && event.end &&
            !(*event.start < end && (*event.end > start || *event.start >= start)))
            continue;
        result.push_back(event);
    }
    return result;
}
