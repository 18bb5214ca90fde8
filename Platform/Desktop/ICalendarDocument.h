#pragma once
// One iCalendar file, parsed with libical (opened on the first parse:
// ICalLibrary), and the events of a calendar's files laid out as the
// occurrences that overlap a window of time.
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
//
// Files may come from anywhere, so nothing in one can make the reader work
// without end: a repeat rule whose days can never come is refused when the
// file is read (its event keeps its first occurrence), rules repeating more
// often than daily are laid out here a step at a time, every step is counted
// against a Budget, and a time zone changing more often than yearly is
// dropped (its times are read in the system's zone of that name, else on the
// local clock).

#include "Platform/Desktop/CalendarStore.h"
#include "VudeKit/Expected.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct ICalLibrary;

class ICalendarDocument {
public:
    /// Repeats stop after this many occurrences of one event in one window
    /// and after this many steps of one rule, so a hostile rule (every second
    /// since 1970) cannot stall the reader.
    static constexpr std::size_t kMaxOccurrencesPerEvent = 10000;
    static constexpr std::size_t kMaxRuleSteps = 200000;
    /// What one calendar may cost in one layout: steps of all its rules, and
    /// occurrences kept for each day of the window (more than a day's list
    /// can show).
    static constexpr std::size_t kMaxCalendarSteps = 1000000;
    static constexpr std::size_t kMaxOccurrencesPerDay = 1000;

    /// The work a layout may still do. Every step of a rule, every exclusion
    /// read and every occurrence kept spends it; once anything runs out (or
    /// the deadline passes, or `cancelled` is set) `spent` is set and the
    /// layout stops where it is.
    struct Budget {
        std::size_t steps = kMaxCalendarSteps;
        std::size_t occurrences = 0;
        std::optional<std::chrono::steady_clock::time_point> deadline = std::nullopt;
        const std::atomic<bool>* cancelled = nullptr;
        bool spent = false;

        /// The budget of one calendar laid out over [start, end).
        static Budget forWindow(Date start, Date end);
    };

    /// Parses the text of one file. `source` names the file in identifiers
    /// and errors; `file`, when given, is where it lies, handed on with its
    /// events. Fails, with the reason, for text that is not an iCalendar
    /// object (empty, truncated, another format). A property whose value
    /// cannot be read is dropped by itself; an event left without a start is
    /// skipped when laid out.
    static Expected<std::shared_ptr<const ICalendarDocument>, std::string> parse(
        std::string_view text, std::string source, std::optional<std::filesystem::path> file = std::nullopt);
    /// The same with the functions of `library`, which must outlive the
    /// document; fails with the library's problem when it has none.
    static Expected<std::shared_ptr<const ICalendarDocument>, std::string> parse(
        const ICalLibrary& library, std::string_view text, std::string source,
        std::optional<std::filesystem::path> file = std::nullopt);

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
    /// The UID of each VEVENT, in the file's order; none for one without.
    const std::vector<std::optional<std::string>>& eventUids() const;
    /// What was left out when reading: each refused rule and dropped zone,
    /// one line each ("repeat rule ignored: ...").
    const std::vector<std::string>& notes() const;

    /// One VEVENT: its document and its position among the document's.
    struct EventRef {
        const ICalendarDocument* document = nullptr;
        std::size_t index = 0;
    };

    /// The occurrences of the events of one calendar's files that overlap
    /// [start, end) by the rule of CalendarStore::events, each marked with
    /// `calendarIdentifier`. Ordered by event (first appearance of its UID),
    /// then by start.
    static std::vector<CalendarStoreEvent> occurrences(const std::vector<const ICalendarDocument*>& documents,
                                                       Date start, Date end, const std::string& calendarIdentifier);
    /// The same within `budget`: what was laid out before it ran out.
    static std::vector<CalendarStoreEvent> occurrences(const std::vector<const ICalendarDocument*>& documents,
                                                       Date start, Date end, const std::string& calendarIdentifier,
                                                       Budget& budget);
    /// The occurrences of one series: the VEVENTs sharing one UID, in the
    /// order they appear in the calendar's files (or one VEVENT without a
    /// UID), ordered by start.
    static std::vector<CalendarStoreEvent> seriesOccurrences(const std::vector<EventRef>& events, Date start,
                                                             Date end, const std::string& calendarIdentifier,
                                                             Budget& budget);

private:
    struct Parsed;
    ICalendarDocument(std::unique_ptr<Parsed> parsed, std::string source, std::optional<std::filesystem::path> file);

    std::unique_ptr<Parsed> m_parsed;
    std::string m_source;
    std::optional<std::filesystem::path> m_file;
};
