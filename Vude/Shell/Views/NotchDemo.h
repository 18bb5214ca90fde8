#pragma once
// A looping miniature of the notch for the onboarding walkthrough: a small
// notch that widens into pills, shows gesture cues, a now-playing pill with
// a moving waveform, and opens into a miniature Desk. It reads no settings
// and no services: a script and two pieces of state (`beat`, `phase`)
// decide what it shows. Playing runs on an injected Scheduler and stops on
// stop() (the view calls it when hidden); a stopped script changes nothing
// more.

#include "VudeKit/Date.h"
#include "VudeKit/Scheduler.h"

#include <functional>
#include <string_view>
#include <vector>

class NotchDemo {
public:
    enum class Script { overview, gestures, media, ravo };

    struct Step {
        int beat;
        Duration hold;
        bool operator==(const Step&) const = default;
    };

    struct Size {
        double width;
        double height;
        bool operator==(const Size&) const = default;
    };

    static constexpr Duration mediaInterval = std::chrono::milliseconds(70);
    static constexpr double mediaPhaseStep = 0.42;

    NotchDemo(Script script, double notchWidth, double notchHeight);
    ~NotchDemo();

    NotchDemo(const NotchDemo&) = delete;
    NotchDemo& operator=(const NotchDemo&) = delete;

    Script script() const { return m_script; }
    int beat() const { return m_beat; }
    double phase() const { return m_phase; }
    double notchWidth() const { return m_notchWidth; }
    double notchHeight() const { return m_notchHeight; }

    bool isOpen() const;
    Size currentSize() const;
    /// The cue of the gesture beat (clamped to 4); empty at beat 0.
    std::string_view gestureSymbol() const;
    std::string_view gestureLabel() const;
    /// The same for any `beat` (the cue fading out after its beat ended).
    static std::string_view gestureSymbol(int beat);
    static std::string_view gestureLabel(int beat);
    /// Waveform bar `index` (0…4): between 3 and 8 points.
    double barHeight(int index) const;

    /// The script's steps; empty for `media`, which only moves its phase.
    static std::vector<Step> steps(Script script);

    /// Starts from beat 0; called when the view shows. Calls `changed`
    /// after every change of beat or phase.
    void start(Scheduler& scheduler, std::function<void()> changed);
    /// Ends the script where it is; called when the view hides.
    void stop();
    bool isRunning() const { return m_task.isActive(); }

    /// For tests and still pictures: shows `beat` at once.
    void setBeat(int beat) { m_beat = beat; }

private:
    void play(std::size_t index);

    Script m_script;
    double m_notchWidth;
    double m_notchHeight;
    int m_beat = 0;
    double m_phase = 0;
    Scheduler* m_scheduler = nullptr;
    std::function<void()> m_changed;
    ScheduledTask m_task;
};
