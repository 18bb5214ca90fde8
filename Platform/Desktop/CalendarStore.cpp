#include "Platform/Desktop/CalendarStore.h"

void CalendarStore::read(const CalendarStoreRead& request, std::function<void(CalendarStoreSnapshot)> done)
{
    readAndPrepare(request, [done = std::move(done)](CalendarStoreSnapshot snapshot) -> std::function<void()> {
        return [done, snapshot = std::move(snapshot)]() mutable { done(std::move(snapshot)); };
    });
}

void CalendarStore::readAndPrepare(const CalendarStoreRead& request, Prepare prepare)
{
    if (request.hard) {
        reset();
        refreshSourcesIfNecessary();
    }
    CalendarStoreSnapshot snapshot;
    snapshot.calendars = calendars();
    std::vector<std::string> visible;
    for (const auto& calendar : snapshot.calendars)
        if (request.visibleCalendars.empty() || request.visibleCalendars.contains(calendar.identifier))
            visible.push_back(calendar.identifier);
    if (request.window && !visible.empty())
        for (auto& event : events(request.window->first, request.window->second, visible))
            snapshot.events.push_back(std::make_shared<const CalendarStoreEvent>(std::move(event)));
    prepare(std::move(snapshot))();
}
