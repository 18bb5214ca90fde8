#pragma once
// The one reader of the user's calendars. It asks for access, keeps a
// filtered, sorted snapshot of the events in a window of days around today
// and the list of calendars, keeps it fresh (a soft refresh when the store
// reports a change, a hard one every 300 s), and answers the Desk (events by
// day) and the calendar pill (the next event within a lead time).
//
// A refresh reads the store through CalendarStore::readAndPrepare, which the
// folder store does on a thread of its own: the events are converted, kept,
// sorted and compared with those published there too, and the snapshot
// changes when the read is over, never while the main thread waits (it only
// takes the new list). One read runs at a time; refreshes
// asked for meanwhile become one more read after it, and a read made for
// another filter than the one now in force is not published.
//
// Observed members signal only when their value really changes; writing an
// equal filter does nothing at all. The rules themselves are in
// CalendarRules. Main thread only.

#include "Platform/Desktop/CalendarStore.h"
#include "VudeKit/ClockSource.h"
#include "VudeKit/Scheduler.h"
#include "VudeServices/CalendarAccess.h"
#include "VudeServices/CalendarEvent.h"
#include "VudeServices/CalendarFilter.h"
#include "VudeServices/CalendarRules.h"
#include "VudeServices/CalendarSource.h"
#include "VudeServices/MeetingLinkDetector.h"

#include <QMetaObject>
#include <QObject>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

class CalendarService final : public QObject {
    Q_OBJECT
public:
    using TraceSink = std::function<void(const std::string&)>;

    static constexpr Duration kRefreshInterval = std::chrono::seconds(300);
    /// No calendar restriction, 7 days behind and ahead, the switches off.
    static const CalendarFilter kInitialFilter;

    /// Reads `access` from the store; asks and loads nothing yet. `clock`
    /// and `scheduler` must outlive the service.
    CalendarService(std::unique_ptr<CalendarStore> store, const ClockSource& clock, Scheduler& scheduler,
                    QObject* parent = nullptr);
    ~CalendarService() override;

    /// The service over the user's calendars folder
    /// ($XDG_DATA_HOME/Vude/Calendars); skipped files go to `trace`.
    static std::unique_ptr<CalendarService> forUser(const ClockSource& clock, Scheduler& scheduler,
                                                    TraceSink trace = {});

    /// The store's decision now, whatever `access` last recorded.
    CalendarAccess currentAccess() const;

    /// Asks for access while it was never decided; with access granted,
    /// follows the store's changes (one observer, however often started),
    /// refreshes every 300 s (one timer) and refreshes hard at once.
    /// `done` runs when this is over (the first refresh published), with
    /// `access` and `requestError` telling the outcome; it may run before
    /// start() returns.
    void start(std::function<void()> done = {});
    /// Stops following changes and refreshing; keeps what was read.
    void stop();
    /// Rebuilds `calendars` and `events`; `hard` first drops what the store
    /// has cached and looks for calendars anew. `done`, when given, runs
    /// once a read begun after this call is published (or at once without
    /// access); it may run before refresh() returns.
    void refresh(bool hard, std::function<void()> done = {});
    /// A read of the store is under way.
    bool isRefreshing() const { return m_reading; }

    const std::vector<CalendarEvent>& events() const { return *m_events; }
    const std::vector<CalendarSource>& calendars() const { return m_calendars; }
    CalendarAccess access() const { return m_access; }
    std::optional<Date> lastRefresh() const { return m_lastRefresh; }
    const std::optional<std::string>& requestError() const { return m_requestError; }
    const CalendarFilter& filter() const { return m_filter; }
    /// An equal filter changes nothing; another is published and refreshes
    /// (soft).
    void setFilter(const CalendarFilter& filter);

    /// The events by day, days ascending.
    std::vector<CalendarDay> grouped() const;
    /// The first listed event that is not all-day and starts after now and
    /// no more than `within` after it.
    std::optional<CalendarEvent> upcoming(Duration within) const;

    /// Following store changes / refreshing on a timer (for the owner's
    /// trace and tests).
    bool isObservingChanges() const { return bool(m_changeObserver); }
    bool hasRefreshTimer() const { return m_timer.isActive(); }

signals:
    void eventsChanged();
    void calendarsChanged();
    void accessChanged();
    void lastRefreshChanged();
    void requestErrorChanged();
    void filterChanged();

private:
    void finishRequest(const CalendarStore::AccessAnswer& answer);
    void finishStart(std::function<void()> done);
    void startRead();
    class Converter;
    struct Prepared;
    void finishRead(Prepared prepared);
    void setEvents(std::vector<CalendarEvent> events);
    void setCalendars(std::vector<CalendarSource> calendars);
    void setAccess(CalendarAccess access);
    void setLastRefresh(std::optional<Date> date);
    void setRequestError(std::optional<std::string> error);

    std::unique_ptr<CalendarStore> m_store;
    const ClockSource& m_clock;
    Scheduler& m_scheduler;
    /// Shared with the read under way, which compares its events with these.
    std::shared_ptr<const std::vector<CalendarEvent>> m_events = std::make_shared<const std::vector<CalendarEvent>>();
    std::vector<CalendarSource> m_calendars;
    CalendarAccess m_access;
    std::optional<Date> m_lastRefresh;
    std::optional<std::string> m_requestError;
    CalendarFilter m_filter = kInitialFilter;

    QMetaObject::Connection m_changeObserver;
    ScheduledTask m_timer;
    /// start() calls waiting for the answer to one access request.
    std::vector<std::function<void()>> m_waitingStarts;
    /// A read is under way; another is wanted after it (hard when any
    /// request was), with these callers waiting for it.
    bool m_reading = false;
    bool m_readWanted = false;
    bool m_wantedHard = false;
    std::vector<std::function<void()>> m_waitingRefreshes;
    /// Used by one read at a time, where the read runs.
    std::shared_ptr<Converter> m_converter;
};
