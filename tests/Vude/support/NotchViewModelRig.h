#pragma once
// A notch view model with every collaborator faked: the shell platform, a
// manual clock and scheduler, settings in memory, a font-free measurer and
// the Desk's services. What the model does to the outside (effects passed
// on, haptics, keyboard hand-overs) lands in one ordered log.

#include "Vude/Shell/NotchPanel.h"
#include "Vude/Shell/NotchViewModel.h"

#include <QSignalSpy>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

// GCC 12 at -O1 takes the inlined none() factories of the payload variants for
// reads of uninitialised alternatives; a known false positive.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

namespace notchtest {

using namespace std::chrono_literals;

/// Half a point per byte per point of size: no fonts involved.
class FakeMeasurer final : public TextMeasurer {
public:
    double width(std::string_view text, double size, Vude::FontWeight) const override
    {
        return double(text.size()) * size * 0.5;
    }
};

class LoggingHaptics final : public HapticPerformer {
public:
    explicit LoggingHaptics(std::vector<std::string>& log) : m_log(log) {}
    void perform(HapticPattern pattern) override
    {
        m_log.push_back(pattern == HapticPattern::alignment ? "haptic" : "other haptic");
    }

private:
    std::vector<std::string>& m_log;
};

class LoggingKeyboardFocus final : public KeyboardFocus {
public:
    explicit LoggingKeyboardFocus(std::vector<std::string>& log) : m_log(log) {}
    void rememberFocusBefore(std::uint64_t) override { m_log.push_back("take keyboard"); }
    void giveBack(std::uint64_t) override { m_log.push_back("give keyboard back"); }

private:
    std::vector<std::string>& m_log;
};

inline std::string describe(const NotchEffect& effect)
{
    switch (effect.kind()) {
    case NotchEffect::Kind::cycleActivity:
        return effect.forward() ? "cycle forward" : "cycle back";
    case NotchEffect::Kind::openRavo:
        return "open " + std::string(rawValue(*effect.tab()));
    case NotchEffect::Kind::requestKeyboardFocus:
        return effect.focus() ? "focus request" : "unfocus request";
    case NotchEffect::Kind::mediaNext:
        return "next track";
    case NotchEffect::Kind::mediaPrevious:
        return "previous track";
    case NotchEffect::Kind::dismissActivity:
        return "dismiss";
    case NotchEffect::Kind::haptic:
        return "haptic effect";
    }
    return "?";
}

inline ActivityPayload pill(const char* title, ActivityTrailing trailing = ActivityTrailing::bar(0.5),
                            ActivityKind kind = ActivityKind::battery,
                            ActivityPriority priority = ActivityPriority::queued)
{
    return ActivityPayload(Uuid::random(), kind, priority, std::nullopt, ActivityGlyph::none(), std::string(title),
                           std::string("sub"), std::move(trailing), 4s, std::nullopt, kReferenceDate);
}

inline ActivityPayload ambientMedia()
{
    return pill("Song", ActivityTrailing::waveform(true), ActivityKind::nowPlaying, ActivityPriority::ambient);
}

/// A tray in memory that notes what was asked of it, in one log: "remove
/// a.png", "removeEntry a.png", "removeAll", "sweep", "quickLook a.png",
/// "thumbnail a.png 64".
class FakeTrayStore final : public NotchTrayStore {
public:
    std::vector<NotchTrayItem> items() const override { return stored; }
    void remove(const NotchTrayItem& item) override
    {
        removed.push_back(item.displayName);
        calls.push_back("remove " + item.displayName);
        drop(item);
    }
    void removeEntry(const NotchTrayItem& item) override
    {
        calls.push_back("removeEntry " + item.displayName);
        drop(item);
    }
    void removeAll() override
    {
        calls.push_back("removeAll");
        stored.clear();
    }
    void sweep() override { calls.push_back("sweep"); }
    void thumbnail(const NotchTrayItem& item, double size, QObject*, ThumbnailDone done) override
    {
        calls.push_back("thumbnail " + item.displayName + " " + std::to_string(int(size)));
        if (done)
            done(std::nullopt);
    }
    void quickLook(const NotchTrayItem& item) override { calls.push_back("quickLook " + item.displayName); }

    std::vector<NotchTrayItem> stored;
    std::vector<std::string> removed;
    std::vector<std::string> calls;

private:
    void drop(const NotchTrayItem& item)
    {
        std::erase_if(stored, [&](const NotchTrayItem& kept) { return kept.id == item.id; });
    }
};

/// Timers in memory; toggles and removals are noted in `calls` ("toggle
/// <label> at <seconds since the reference date>", "remove <label>").
class FakeTimerStore final : public NotchTimerStore {
public:
    explicit FakeTimerStore(const ClockSource& clock) : m_clock(clock) {}
    std::vector<NotchTimer> timers() const override { return stored; }
    void add(double total, const std::string& label, bool start) override
    {
        stored.push_back({Uuid::random(), label, total, start ? std::optional<Date>(m_clock.now()) : std::nullopt, {}});
    }
    void toggle(const NotchTimer& timer, Date now) override
    {
        calls.push_back("toggle " + timer.label + " at " +
                        std::to_string(std::int64_t(secondsSinceReferenceDate(now))));
        for (NotchTimer& kept : stored) {
            if (kept.id != timer.id)
                continue;
            if (kept.startedAt) {
                kept.pausedRemaining = kept.total;
                kept.startedAt.reset();
            } else {
                kept.startedAt = now;
                kept.pausedRemaining.reset();
            }
        }
    }
    void remove(const NotchTimer& timer) override
    {
        calls.push_back("remove " + timer.label);
        std::erase_if(stored, [&](const NotchTimer& kept) { return kept.id == timer.id; });
    }

    std::vector<NotchTimer> stored;
    std::vector<std::string> calls;

private:
    const ClockSource& m_clock;
};

/// Answers a request for access only when the test says so.
class FakeCalendarService final : public NotchCalendarService {
public:
    NotchCalendarAccess access() const override { return currentAccess; }
    std::optional<std::string> requestError() const override { return error; }
    void start(std::function<void()> done) override
    {
        ++starts;
        pending.push_back(std::move(done));
    }
    std::vector<NotchCalendarDay> grouped() const override { return days; }
    void answer(NotchCalendarAccess access, std::optional<std::string> failure = std::nullopt)
    {
        currentAccess = access;
        error = std::move(failure);
        auto waiting = std::move(pending);
        pending.clear();
        for (auto& done : waiting)
            done();
        emit changed();
    }

    NotchCalendarAccess currentAccess = NotchCalendarAccess::notDetermined;
    std::optional<std::string> error;
    std::vector<std::function<void()>> pending;
    std::vector<NotchCalendarDay> days;
    int starts = 0;
};

/// A 1440 × 900 screen at the origin, its 200 × 32 notch handler centred at
/// the top (bottom-left coordinates).
inline NotchGeometry screenGeometry(Size notch = {200, 32})
{
    NotchGeometry geometry;
    geometry.displayID = 1;
    geometry.screenFrame = {0, 0, 1440, 900};
    geometry.notchSize = notch;
    geometry.notchOrigin = {720 - notch.width / 2, 900 - notch.height};
    return geometry;
}

struct Rig {
    explicit Rig(bool withPanel = true)
    {
        ScreenDescription screen;
        screen.name = "eDP-1";
        screen.frame = {0, 0, 1440, 900};
        screen.visibleFrame = screen.frame;
        fakes.screens.setScreens({screen});
        model = std::make_unique<NotchViewModel>(screenGeometry(), settings, platform, scheduler, clock, measurer);
        model->onEffect = [this](const NotchEffect& effect) { log.push_back(describe(effect)); };
        model->audioOutputDevices = [this] {
            ++deviceReads;
            return devices;
        };
        if (withPanel) {
            panel = std::make_unique<NotchPanel>(platform, Size{200, 60});
            model->setPanel(panel.get());
        }
    }

    /// Sets the twelve switches through the settings they come from.
    void setGuards(const NotchStateGuards& guards)
    {
        settings.setExpandOnHover(guards.expandOnHover);
        settings.setAlwaysOpenOnHover(guards.alwaysOpenOnHover);
        settings.setPreventCloseOnMouseLeave(guards.preventCloseOnMouseLeave);
        settings.setSwipeToToggleOpen(guards.swipeToToggleOpen);
        settings.setSwipeToDismissActivity(guards.swipeToDismissActivity);
        settings.setSwipeToCycleActivity(guards.swipeToCycleActivity);
        settings.setSwipeToSkipMedia(guards.swipeToSkipMedia);
        settings.setInteractiveActivities(guards.interactiveActivities);
        settings.setQuickPeekEnabled(guards.quickPeekEnabled);
        settings.setDemoMode(guards.demoMode);
        settings.setLockWhileTyping(guards.lockWhileTyping);
    }

    /// The panel's frame in Qt's coordinates.
    Rect frame() const { return panel->frame(); }

    std::vector<std::string> log;
    FakeShellPlatform fakes;
    LoggingHaptics haptics{log};
    LoggingKeyboardFocus keyboard{log};
    ShellPlatform platform{fakes.screens, fakes.pointer,     fakes.mouseMonitor, fakes.dragSelection, fakes.wake,
                           fakes.compositing, fakes.inputShaper, fakes.stacker,      keyboard,            fakes.activation,
                           haptics,           fakes.urls,        fakes.sharing};
    ManualClock clock{kReferenceDate + std::chrono::hours(24 * 365 * 20)};
    ManualScheduler scheduler{clock};
    SettingsStore settings{std::make_shared<InMemoryUserDefaults>()};
    FakeMeasurer measurer;
    std::vector<AudioOutputDevice> devices{{7, "Speakers", AudioState::Transport::builtIn, true}};
    int deviceReads = 0;
    // The panel goes before the model, as the controller drops them.
    std::unique_ptr<NotchViewModel> model;
    std::unique_ptr<NotchPanel> panel;
};

} // namespace notchtest
