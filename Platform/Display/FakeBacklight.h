#pragma once
// A backlight whose level a test sets, reads and may make unreadable or
// unwritable. Thread-safe, like the real one.

#include "Platform/Display/Backlight.h"

#include <mutex>
#include <vector>

class FakeBacklight final : public Backlight {
public:
    /// No level: a backlight without a device.
    FakeBacklight() = default;
    explicit FakeBacklight(double level) : m_available(true), m_level(level) {}

    /// Changes the level as another program would; none makes it unreadable.
    void changeLevel(std::optional<double> level);
    /// Makes setLevel() fail (and write nothing) or succeed again.
    void setWritable(bool writable);
    /// Every level setLevel() wrote, in order.
    std::vector<double> writes() const;

    bool isAvailable() const override { return m_available; }
    std::optional<double> level() const override;
    bool setLevel(double level) override;
    std::string description() const override { return m_available ? "fake" : "none"; }

private:
    const bool m_available = false;
    mutable std::mutex m_mutex;
    std::optional<double> m_level;
    bool m_writable = true;
    std::vector<double> m_writes;
};
