#pragma once
// An in-process inhibitor for tests: records every inhibition and release and
// can be told to refuse.

#include "Platform/Power/DisplaySleepInhibitor.h"

#include <set>
#include <vector>

class FakeDisplaySleepInhibitor final : public DisplaySleepInhibitor {
public:
    struct Call {
        enum class Kind { inhibit, release };
        Kind kind;
        std::uint32_t id = 0;
        std::string reason{};
        bool operator==(const Call&) const = default;
    };

    /// While refusing, inhibit() gives none and isAvailable() is false.
    void setRefusing(bool refusing) { m_refusing = refusing; }

    /// Every inhibit (with the id it gave) and release, in order.
    const std::vector<Call>& calls() const { return m_calls; }
    /// The inhibitions held now.
    const std::set<std::uint32_t>& held() const { return m_held; }

    bool isAvailable() override { return !m_refusing; }
    std::optional<std::uint32_t> inhibit(const std::string& reason) override;
    void release(std::uint32_t id) override;
    void setLostHandler(LostHandler handler) override { m_lost = std::move(handler); }

    /// The desktop refuses a held inhibition after all, as a late answer.
    void refuseHeld(std::uint32_t id);

private:
    bool m_refusing = false;
    std::uint32_t m_nextID = 1;
    std::vector<Call> m_calls;
    std::set<std::uint32_t> m_held;
    LostHandler m_lost;
};
