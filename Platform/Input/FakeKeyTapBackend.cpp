#include "Platform/Input/FakeKeyTapBackend.h"

#include <algorithm>

std::optional<bool> FakeKeyTapBackend::send(const KeyTapEvent& event)
{
    if (!isEnabled() || std::ranges::find(m_symbols, event.symbol) == m_symbols.end())
        return std::nullopt;
    if (!m_handler)
        return false;
    const KeyTapMode mode = *m_mode;
    const Handler handler = m_handler;
    const bool kept = handler(event);
    return mode == KeyTapMode::intercept && kept;
}

Expected<void, KeyTapError> FakeKeyTapBackend::start(KeyTapMode mode, std::vector<KeySymbol> symbols, Handler handler)
{
    stop();
    ++m_startCount;
    if (m_startError)
        return unexpected(*m_startError);
    m_mode = mode;
    m_symbols = std::move(symbols);
    m_handler = std::move(handler);
    m_enabled = true;
    return {};
}

void FakeKeyTapBackend::stop()
{
    m_mode.reset();
    m_handler = nullptr;
}

void FakeKeyTapBackend::enable()
{
    if (!m_mode || m_enabled)
        return;
    ++m_enableCount;
    m_enabled = true;
}
