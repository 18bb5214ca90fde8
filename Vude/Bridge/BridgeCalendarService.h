#pragma once
// The calendar service as the activity bridge uses it: access, the filter
// the calendar settings make, starting and stopping, and the next event
// about to start. It extends what the notch view models use of the same
// service, so the bridge's one calendar serves both. CalendarServiceAdapter
// plugs the calendar service in; UnavailableCalendarService stands in where
// no calendar is wanted.

#include "Vude/Shell/NotchDeskServices.h"
#include "VudeKit/Date.h"

#include <optional>
#include <set>
#include <string>

/// An event as the bridge announces it.
struct BridgeCalendarEvent {
    /// Stable for the event.
    std::string id;
    std::string title;
    Date start;
    bool operator==(const BridgeCalendarEvent&) const = default;
};

/// Which events the calendar lists.
struct BridgeCalendarFilter {
    /// Calendar identifiers; empty means all.
    std::set<std::string> visibleCalendars;
    int daysBehind = 7;
    int daysAhead = 7;
    bool showPastEventsToday = false;
    bool showAllDayEvents = false;
    bool showMultiDayEvents = false;
    bool operator==(const BridgeCalendarFilter&) const = default;
};

class BridgeCalendarService : public NotchCalendarService {
public:
    virtual BridgeCalendarFilter filter() const = 0;
    /// A filter that differs from the current one reloads the events.
    virtual void setFilter(const BridgeCalendarFilter& filter) = 0;
    /// Stops following the calendars; the events stay as they were.
    virtual void stop() = 0;
    /// The first listed event that is not all-day and starts after now, no
    /// later than `within` from now.
    virtual std::optional<BridgeCalendarEvent> upcoming(Duration within) const = 0;
    /// Reads the calendars again (`hard` drops what was cached first), then
    /// calls `done` on the main thread once the events read are published,
    /// for whoever acts on them ("Refresh now", then the upcoming event).
    /// Without a calendar to read, `done` runs at once.
    virtual void refresh(bool hard, std::function<void()> done)
    {
        (void)hard;
        if (done)
            done();
    }
};

/// No calendar: access never decided, no events.
class UnavailableCalendarService final : public BridgeCalendarService {
public:
    NotchCalendarAccess access() const override { return NotchCalendarAccess::notDetermined; }
    std::optional<std::string> requestError() const override { return std::nullopt; }
    void start(std::function<void()> done) override
    {
        if (done)
            done();
    }
    BridgeCalendarFilter filter() const override { return m_filter; }
    void setFilter(const BridgeCalendarFilter& filter) override { m_filter = filter; }
    void stop() override {}
    std::optional<BridgeCalendarEvent> upcoming(Duration) const override { return std::nullopt; }

private:
    BridgeCalendarFilter m_filter;
};
