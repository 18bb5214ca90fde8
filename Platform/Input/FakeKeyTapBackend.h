#pragma once
// An in-process key tap for tests: a test presses keys, scripts a failing
// start or takes the keys away, and reads back what the tap did. Events are
// delivered synchronously on the calling thread, as the X11 backend delivers
// them on the main thread.

#include "Platform/Input/KeyTapBackend.h"

#include <optional>

class FakeKeyTapBackend final : public KeyTapBackend {
public:
    // Scripting.

    /// The next starts fail with `error`; nullopt lets them succeed.
    void setStartError(std::optional<KeyTapError> error) { m_startError = error; }
    /// Something outside takes the keys away (or gives them back): a running
    /// tap stops receiving events until enable().
    void setEnabled(bool enabled) { m_enabled = enabled; }

    /// Sends `event` as the desktop would. Nothing when the tap is stopped,
    /// disabled or does not watch the key; otherwise whether the key was kept
    /// from the focused window (intercepting and the handler said true).
    std::optional<bool> send(const KeyTapEvent& event);
    /// A key-down of `symbol`, with Shift and Alt as given.
    std::optional<bool> press(KeySymbol symbol, bool shift = false, bool alt = false)
    {
        return send({symbol, true, false, shift, alt});
    }

    bool isStarted() const { return m_mode.has_value(); }
    std::optional<KeyTapMode> mode() const { return m_mode; }
    const std::vector<KeySymbol>& symbols() const { return m_symbols; }
    int startCount() const { return m_startCount; }
    int enableCount() const { return m_enableCount; }

    // KeyTapBackend
    Expected<void, KeyTapError> start(KeyTapMode mode, std::vector<KeySymbol> symbols, Handler handler) override;
    void stop() override;
    bool isEnabled() const override { return m_mode && m_enabled; }
    void enable() override;

private:
    std::optional<KeyTapError> m_startError;
    std::optional<KeyTapMode> m_mode;
    std::vector<KeySymbol> m_symbols;
    Handler m_handler;
    bool m_enabled = true;
    int m_startCount = 0;
    int m_enableCount = 0;
};
