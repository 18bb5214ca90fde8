#pragma once
// Haptic feedback on a force-feedback touchpad. Linux desktops drive none, so
// the app's performer only counts what it was asked to play; tests read the
// count.

#include <map>

enum class HapticPattern { generic, alignment, levelChange };

class HapticPerformer {
public:
    virtual ~HapticPerformer() = default;
    virtual void perform(HapticPattern pattern) = 0;
};

class CountingHapticPerformer final : public HapticPerformer {
public:
    void perform(HapticPattern pattern) override { ++m_counts[pattern]; ++m_total; }

    int count() const { return m_total; }
    int count(HapticPattern pattern) const
    {
        const auto found = m_counts.find(pattern);
        return found == m_counts.end() ? 0 : found->second;
    }

private:
    std::map<HapticPattern, int> m_counts;
    int m_total = 0;
};
