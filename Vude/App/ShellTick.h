#pragma once
// The shell's one periodic tick, four times a second: the drag pasteboard
// poll on every tick, the calendar check on every 60th (every 15 s), the
// clipboard poll on every second (twice a second), then the activity
// coordinator's expiry check, and when that moved on, mirroring the current
// activity into the screen under the pointer. The steps are handed in, so
// the order and the schedule are decided here alone. Main thread only.
//
// When a tick would find nothing to do (`isSettled`), the holder may stop
// ticking until something wakes the main thread, counting the ticks it left
// out with `skip` and keeping every calendar tick.

#include <cstdint>
#include <functional>
#include <optional>

class ShellTick {
public:
    static constexpr std::int64_t kCalendarEvery = 60;
    static constexpr std::int64_t kClipboardEvery = 2;

    struct Steps {
        std::function<void()> pollDragPasteboard;
        std::function<void()> checkUpcomingEvent;
        /// The settings `clipboardEnabled`, `clipboardMaxItems` and
        /// `clipboardPersists`, read at each poll.
        std::function<bool()> clipboardEnabled;
        std::function<double()> clipboardMaxItems;
        std::function<bool()> clipboardPersists;
        std::function<void(bool enabled, std::int64_t maxItems, bool persists)> pollClipboard;
        /// True when the current activity changed.
        std::function<bool()> coordinatorTick;
        std::function<void()> mirrorCurrentActivity;
        /// True when nothing the polls read moved since they last ran: no new
        /// drag or copy, no drag armed, no activity waiting to expire. None:
        /// never settled.
        std::function<bool()> inputsSettled = {};
    };

    explicit ShellTick(Steps steps) : m_steps(std::move(steps)) {}

    void tick();
    /// Ticks so far, those skipped included.
    std::int64_t count() const { return m_count; }

    /// True when a tick now would change nothing: the polled inputs are
    /// settled and the clipboard settings are those of the last clipboard poll.
    bool isSettled() const;
    /// Counts `ticks` that fell due while nothing needed them, without running
    /// them; never past the next calendar tick, which must run.
    void skip(std::int64_t ticks);
    /// Ticks from now to the next calendar check, that one included (1 to 60).
    std::int64_t ticksUntilCalendar() const { return kCalendarEvery - m_count % kCalendarEvery; }

    /// The clipboard's limit from the stored setting, truncated toward zero.
    /// None for a value that is not a finite number: the poll is then skipped
    /// rather than handed a limit that would empty the history (NaN would
    /// read as 0). A finite value beyond 64 bits saturates.
    static std::optional<std::int64_t> clipboardLimit(double setting);

private:
    struct ClipboardSettings {
        bool enabled;
        std::optional<std::int64_t> limit;
        bool persists;
        bool operator==(const ClipboardSettings&) const = default;
    };
    ClipboardSettings clipboardSettings() const;

    Steps m_steps;
    std::int64_t m_count = 0;
    /// What the last clipboard poll was handed; none before the first.
    std::optional<ClipboardSettings> m_polledWith;
};
