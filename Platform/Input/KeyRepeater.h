#pragma once
// Auto-repeat of our own for key events that arrive without it (raw XInput
// events): a held key repeats after a delay and then at a steady interval
// until it is released. As on the X server, only the key pressed last
// repeats; pressing another repeating key ends the repeat of the first.
// Main thread only.

#include "VudeKit/Scheduler.h"

#include <cstdint>
#include <functional>
#include <optional>

class KeyRepeater {
public:
    explicit KeyRepeater(Scheduler& scheduler) : m_scheduler(scheduler) {}
    ~KeyRepeater() { cancel(); }

    KeyRepeater(const KeyRepeater&) = delete;
    KeyRepeater& operator=(const KeyRepeater&) = delete;

    /// `keycode` went down: calls `repeat` `delay` from now and then every
    /// `interval` until release() or cancel(). Replaces any key repeating now.
    void press(std::uint8_t keycode, Duration delay, Duration interval, std::function<void()> repeat);
    /// `keycode` went up; ends its repeat, leaves another key's alone.
    void release(std::uint8_t keycode);
    /// Ends any repeat. Callable from inside `repeat`.
    void cancel();

    /// The key repeating now (or waiting for its delay).
    std::optional<std::uint8_t> repeatingKey() const { return m_keycode; }

private:
    Scheduler& m_scheduler;
    std::optional<std::uint8_t> m_keycode;
    ScheduledTask m_task;
};
