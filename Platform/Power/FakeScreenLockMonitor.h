#pragma once
// An in-process lock monitor for tests: a test announces locks and unlocks,
// which reach the handler of the current start() at once.

#include "Platform/Power/ScreenLockMonitor.h"

class FakeScreenLockMonitor final : public ScreenLockMonitor {
public:
    /// Announces a lock (true) or an unlock (false), as the desktop would.
    void announce(bool locked)
    {
        if (m_handler)
            m_handler(locked);
    }

    bool isFollowing() const { return bool(m_handler); }
    int startCount() const { return m_startCount; }

    void start(Handler handler) override
    {
        ++m_startCount;
        m_handler = std::move(handler);
    }
    void stop() override { m_handler = {}; }

private:
    Handler m_handler;
    int m_startCount = 0;
};
