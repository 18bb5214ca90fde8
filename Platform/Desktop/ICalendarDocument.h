#pragma once
// One iCalendar file, parsed with libical, and the events of a calendar's
// files laid out as the occurrences that overlap a window of time.
//
// Times: a time with a zone (TZID, resolved through the file's VTIMEZONE or
// the system's zone database, or UTC) is that moment; a floating time and a
// date are read on the local clock, so they move with the user. An all-day
// event runs from the local midnight of its first day to one second before
// the midnight after its last day (DTEND of a date is exclusive).
//
// Repeats: RRULE, RDATE and EXDATE give the occurrences; a component with a
// RECURRENCE-ID (in any file of the same calendar, matched by UID) replaces
// the occurrence whose original start it names, wherever it moves it. Every
// occurrence of a repeating event is identified by its UID, "/" and its
// original start ("20241027T090000Z" for a time with a zone, in UTC;
// "20241027T110000" for a floating time; "20241027" for a date), so a moved
// occurrence keeps its identifier. An event that does not repeat is
// identified by its UID; one without a UID has no identifier, and its
// calendar item identifier names its calendar, file and position.

#include "Platform/Desktop/CalendarStore.h"
#include "VudeKit/Expected.h"

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class ICalendarDocument {
public:
    /// Repeats stop after this many occurrences of one event in one window
    /// and after this many steps of one rule, so a hostile rule (every second
    /// since 1970) cannot stall the reader.
    static constexpr std::size_t kMaxOccurrencesPerEvent = 10000;
    static constexpr std::size_t kMaxRuleSteps = 200000;

    /// Parses the text of one file. `source` names the file in identifiers
    /// and errors; `file`, when given, is where it lies, handed on with its
    /// events. Fails, with the reason, for text that is not an iCalendar
    /// object (empty, truncated, another format). A property whose value
    /// cannot be read is dropped by itself; an event left without a start is
    /// skipped when laid out.
    static Expected<std::shared_ptr<const ICalendarDocument>, std::string> parse(
        std::string_view text, std::string source, std::optional<std::filesystem::path> file = std::nullopt);

    ~ICalendarDocument();
    ICalendarDocument(const ICalendarDocument&) = delete;
    ICalendarDocument& operator=(const ICalendarDocument&) = delete;

    const std::string& source() const { return m_source; }
    const std::optional<std::filesystem::path>& file() const { return m_file; }

    /// The calendar's own name: X-WR-CALNAME, else NAME.
    std::optional<std::string> calendarName() const;
    /// The calendar's own colour: COLOR, else X-APPLE-CALENDAR-COLOR.
    std::optional<std::string> calendarColor() const;
    /// How many VEVENT components the file holds.
    std::size_t eventComponentCount() const;

    /// The occurrences of the events of one calendar's files that overlap
    /// [start, end) by the rule of CalendarStore::events, each marked with
    /// `calendarIdentifier`. Ordered by event (first appearance of its UID),
    /// then by start.
    static std::vector<CalendarStoreEvent> occurrences(const std::vector<const ICalendarDocument*>& documents,
                                                       Date start, Date end, const std::string& calendarIdentifier);

private:
    struct Parsed;
    ICalendarDocument(std::unique_ptr<Parsed> parsed, std::string source, std::optional<std::filesystem::path> file);

    std::unique_ptr<Parsed> m_parsed;
    std::string m_source;
    std::optional<std::filesystem::path> m_file;
};
