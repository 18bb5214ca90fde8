#include "Vude/ShellTick.h"

#include "VudeKit/Numbers.h"

#include <cmath>

void ShellTick::tick()
{
    m_steps.pollDragPasteboard();
    ++m_count;
    if (m_count % kCalendarEvery == 0)
        m_steps.checkUpcomingEvent();
    if (m_count % kClipboardEvery == 0) {
        if (const auto limit = clipboardLimit(m_steps.clipboardMaxItems()))
            m_steps.pollClipboard(m_steps.clipboardEnabled(), *limit, m_steps.clipboardPersists());
    }
    if (m_steps.coordinatorTick())
        m_steps.mirrorCurrentActivity();
}

std::optional<std::int64_t> ShellTick::clipboardLimit(double setting)
{
    if (!std::isfinite(setting))
        return std::nullopt;
    return saturatingCast<std::int64_t>(setting);
}
