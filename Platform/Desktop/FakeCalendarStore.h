#pragma once
// A calendar store in memory for tests: the access decision, the answer to a
// request, calendars and events are set by the test, and every call is
// counted. events() returns the scripted events that overlap the window and
// belong to one of the named calendars (events without a calendar always).

#include "Platform/Desktop/CalendarStore.h"

#include <functional>
#include <optional>

class FakeCalendarStore final : public CalendarStore {
    Q_OBJECT
public:
    using CalendarStore::CalendarStore;

    // Script.
    CalendarAuthorizationStatus status = CalendarAuthorizationStatus::notDetermined;
    /// The answer to a request and the status it leaves behind.
    AccessAnswer requestAnswer = true;
    CalendarAuthorizationStatus statusAfterRequest = CalendarAuthorizationStatus::fullAccess;
    /// Hold answers until answerPendingRequests() (an open system prompt).
    bool holdsRequests = false;
    /// Hold reads until finishPendingReads() (a store reading on a thread of
    /// its own); each is read when it is finished, not when it was asked.
    bool holdsReads = false;
    std::vector<CalendarStoreCalendar> calendarList;
    std::vector<CalendarStoreEvent> eventList;

    // Record.
    int requestCount = 0;
    int resetCount = 0;
    int refreshSourcesCount = 0;
    int calendarsCount = 0;
    int eventsCount = 0;
    std::optional<std::pair<Date, Date>> lastWindow;
    std::vector<std::string> lastCalendarIdentifiers;
    std::vector<CalendarStoreRead> reads;

    /// How many receivers the change signal has.
    int observerCount() const;
    /// Reports a change, as the real store does after a file changed.
    void simulateChange() { emit changed(); }
    /// Answers the held requests with the scripted answer.
    void answerPendingRequests();
    /// Finishes the held reads, in order.
    void finishPendingReads();
    std::size_t pendingReadCount() const { return m_pendingReads.size(); }

    CalendarAuthorizationStatus authorizationStatus() const override { return status; }
    void requestFullAccess(std::function<void(AccessAnswer)> answer) override;
    std::vector<CalendarStoreCalendar> calendars() override;
    std::vector<CalendarStoreEvent> events(Date start, Date end,
                                           const std::vector<std::string>& calendarIdentifiers) override;
    void reset() override { ++resetCount; }
    void refreshSourcesIfNecessary() override { ++refreshSourcesCount; }
    void readAndPrepare(const CalendarStoreRead& request, Prepare prepare) override;

private:
    void answer(const std::function<void(AccessAnswer)>& answer);

    std::vector<std::function<void(AccessAnswer)>> m_pending;
    std::vector<std::pair<CalendarStoreRead, Prepare>> m_pendingReads;
};
