#include "Vude/App/ShellTick.h"

#include "VudeKit/Numbers.h"

#include <algorithm>
#include <cmath>

void ShellTick::tick()
{
    m_steps.pollDragPasteboard();
    ++m_count;
    if (m_count % kCalendarEvery == 0)
        m_steps.checkUpcomingEvent();
    if (m_count % kClipboardEvery == 0) {
        const ClipboardSettings settings = clipboardSettings();
        m_polledWith = settings;
        if (settings.limit)
            m_steps.pollClipboard(settings.enabled, *settings.limit, settings.persists);
    }
    if (m_steps.coordinatorTick())
        m_steps.mirrorCurrentActivity();
}

bool ShellTick::isSettled() const
{
    return m_steps.inputsSettled && m_steps.inputsSettled() && m_polledWith == clipboardSettings();
}

void ShellTick::skip(std::int64_t ticks)
{
    m_count += std::clamp<std::int64_t>(ticks, 0, ticksUntilCalendar() - 1);
}

ShellTick::ClipboardSettings ShellTick::clipboardSettings() const
{
    return {m_steps.clipboardEnabled(), clipboardLimit(m_steps.clipboardMaxItems()), m_steps.clipboardPersists()};
}

std::optional<std::int64_t> ShellTick::clipboardLimit(double setting)
{
    if (!std::isfinite(setting))
        return std::nullopt;
    return saturatingCast<std::int64_t>(setting);
}
