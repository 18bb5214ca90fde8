#pragma once
// The calendar service as the activity bridge and the notch hold it: access,
// the filter, start and stop, and the next event about to start, read from
// the one CalendarService, which the Desk reads too.

#include "Vude/Bridge/BridgeCalendarService.h"
#include "VudeServices/CalendarService.h"

#include <memory>

class CalendarServiceAdapter final : public BridgeCalendarService {
public:
    /// Tells of every change of the service's access and events.
    explicit CalendarServiceAdapter(std::shared_ptr<CalendarService> service);

    /// The service itself, for the Desk's events by day.
    const std::shared_ptr<CalendarService>& service() const { return m_service; }

    NotchCalendarAccess access() const override;
    std::optional<std::string> requestError() const override;
    void start(std::function<void()> done) override;
    std::vector<NotchCalendarDay> grouped() const override;
    BridgeCalendarFilter filter() const override;
    void setFilter(const BridgeCalendarFilter& filter) override;
    void stop() override;
    std::optional<BridgeCalendarEvent> upcoming(Duration within) const override;
    void refresh(bool hard, std::function<void()> done) override;

private:
    std::shared_ptr<CalendarService> m_service;
};
