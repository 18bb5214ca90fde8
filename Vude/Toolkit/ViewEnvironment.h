#pragma once
// What every painted control of the Desk, the settings and the onboarding
// needs besides its values: where its animation frames come from (the app's
// Qt scheduler and steady clock, a ManualScheduler in tests) and whether the
// desktop asks for reduced motion. Handed down by reference; everything it
// names outlives the views.

#include "Platform/Settings/ReduceMotionSetting.h"
#include "VudeKit/ClockSource.h"
#include "VudeKit/Scheduler.h"
#include "VudeUI/Tokens.h"

struct ViewEnvironment {
    Scheduler& scheduler;
    /// Steady time for animations; setting the wall clock never moves it.
    const ClockSource& clock;
    /// Full animations when none.
    const ReduceMotionSetting* reduceMotion = nullptr;

    /// `animation`, or the short ease while the desktop asks for reduced
    /// motion (read at every call, so a change applies to the next motion).
    Vude::Animation motion(const Vude::Animation& animation) const
    {
        return Vude::Motion::respectingReduceMotion(animation, reduceMotion && reduceMotion->reduceMotion());
    }
};
