#include "Platform/Input/KeyRepeater.h"

#include <algorithm>
#include <memory>

void KeyRepeater::press(std::uint8_t keycode, Duration delay, Duration interval, std::function<void()> repeat)
{
    cancel();
    m_keycode = keycode;
    // A zero interval would repeat without pause.
    interval = std::max(interval, Duration(std::chrono::milliseconds(1)));
    auto shared = std::make_shared<std::function<void()>>(std::move(repeat));
    m_task = m_scheduler.after(delay, [this, interval, shared] {
        m_task = m_scheduler.every(interval, [shared] { (*shared)(); });
        // Last: the call may end the repeat it belongs to.
        (*shared)();
    });
}

void KeyRepeater::release(std::uint8_t keycode)
{
    if (m_keycode == keycode)
        cancel();
}

void KeyRepeater::cancel()
{
    m_task.cancel();
    m_task = {};
    m_keycode.reset();
}
