#pragma once
// Every user setting, once: its property name (which is also its key in the
// user defaults), its type, its default and, for numbers, the closed range a
// write is clamped to. SettingsStore generates its accessors from this table,
// so a key can never differ from its property name.
//
//   SETTING(name, Name, Type, default)
//   NUMBER(name, Name, default, lowest, highest)   // a double
//
// `Name` is the capitalised name, for the setter (setContentPadding). Macro
// arguments cannot hold a brace list, so collection defaults are named
// constants of SettingsStore.

#include "VudeKit/PipelineID.h"
#include "VudeKit/SettingEnums.h"
#include "VudeKit/WidgetID.h"

#include <map>
#include <set>
#include <string>
#include <vector>

using PipelineList = std::vector<PipelineID>;
using WidgetList = std::vector<WidgetID>;
using WidgetSet = std::set<WidgetID>;
using CalendarIDSet = std::set<std::string>;
/// Width in cells per widget.
using WidgetCellMap = std::map<WidgetID, int>;

// clang-format off
#define VUDE_SETTINGS_CATALOGUE(SETTING, NUMBER)                                                   \
    /* General, appearance and notch shape */                                                      \
    SETTING(launchAtLogin, LaunchAtLogin, bool, false)                                             \
    SETTING(showOn, ShowOn, ScreenPolicy, ScreenPolicy::allScreens)                                \
    SETTING(fullscreenPolicy, FullscreenPolicy, FullscreenPolicy, FullscreenPolicy::notchedOnly)   \
    SETTING(appearance, Appearance, AppearanceMode, AppearanceMode::system)                        \
    SETTING(preferRoundButtons, PreferRoundButtons, bool, true)                                    \
    SETTING(translucentNotch, TranslucentNotch, bool, false)                                       \
    SETTING(contrastOutline, ContrastOutline, bool, true)                                          \
    SETTING(progressiveBlur, ProgressiveBlur, bool, true)                                          \
    SETTING(hapticFeedback, HapticFeedback, bool, true)                                            \
    SETTING(expandOnHover, ExpandOnHover, bool, false)                                             \
    SETTING(alwaysOpenOnHover, AlwaysOpenOnHover, bool, false)                                     \
    SETTING(preventCloseOnMouseLeave, PreventCloseOnMouseLeave, bool, true)                        \
    SETTING(lockWhileTyping, LockWhileTyping, bool, false)                                         \
    NUMBER(contentPadding, ContentPadding, 12, 0, 24)                                              \
    SETTING(demoMode, DemoMode, bool, false)                                                       \
    NUMBER(notchWidthAdjust, NotchWidthAdjust, 0, -20, 20)                                         \
    NUMBER(notchHeightAdjust, NotchHeightAdjust, 0, -20, 20)                                       \
    SETTING(handlerEnabled, HandlerEnabled, bool, true)                                            \
    NUMBER(handlerWidth, HandlerWidth, 184, 80, 400)                                               \
    NUMBER(handlerHeight, HandlerHeight, 8, 2, 24)                                                 \
    SETTING(handlerTransparent, HandlerTransparent, bool, false)                                   \
    /* Gestures and activities in general */                                                       \
    SETTING(gesturesWhileHovering, GesturesWhileHovering, bool, true)                              \
    SETTING(naturalMovement, NaturalMovement, bool, false)                                         \
    SETTING(swipeToToggleOpen, SwipeToToggleOpen, bool, true)                                      \
    SETTING(swipeToCycleActivity, SwipeToCycleActivity, bool, true)                                \
    SETTING(swipeToDismissActivity, SwipeToDismissActivity, bool, true)                            \
    SETTING(swipeToSkipMedia, SwipeToSkipMedia, bool, true)                                        \
    SETTING(invertMediaGestures, InvertMediaGestures, bool, false)                                 \
    SETTING(activitiesEnabled, ActivitiesEnabled, bool, true)                                      \
    SETTING(hideOnNonNotched, HideOnNonNotched, bool, false)                                       \
    NUMBER(inactivityTimeout, InactivityTimeout, 10, 2, 60)                                        \
    SETTING(interactiveActivities, InteractiveActivities, bool, true)                              \
    SETTING(suppressSystemHUD, SuppressSystemHUD, bool, false)                                     \
    SETTING(quickPeekEnabled, QuickPeekEnabled, bool, true)                                        \
    SETTING(unhideAutomatically, UnhideAutomatically, bool, true)                                  \
    /* Sound, display, battery, connectivity and Focus activities */                               \
    SETTING(soundEnabled, SoundEnabled, bool, true)                                                \
    NUMBER(soundDuration, SoundDuration, 1.5, 0.5, 10)                                             \
    SETTING(soundBarStyle, SoundBarStyle, BarStyle, BarStyle::white)                               \
    SETTING(soundSpeed, SoundSpeed, HUDSpeed, HUDSpeed::fast)                                      \
    SETTING(soundShowPercentage, SoundShowPercentage, bool, false)                                 \
    SETTING(soundHideLabel, SoundHideLabel, bool, false)                                           \
    SETTING(soundTrailing, SoundTrailing, SoundTrailing, SoundTrailing::device)                    \
    SETTING(displayEnabled, DisplayEnabled, bool, true)                                            \
    NUMBER(displayDuration, DisplayDuration, 1.5, 0.5, 10)                                         \
    SETTING(displayBarStyle, DisplayBarStyle, BarStyle, BarStyle::glow)                            \
    SETTING(displaySpeed, DisplaySpeed, HUDSpeed, HUDSpeed::fast)                                  \
    SETTING(displayShowPercentage, DisplayShowPercentage, bool, false)                             \
    SETTING(displayHideLabel, DisplayHideLabel, bool, false)                                       \
    SETTING(batteryEnabled, BatteryEnabled, bool, true)                                            \
    NUMBER(batteryDuration, BatteryDuration, 5, 1, 15)                                             \
    SETTING(batteryNotifyLowPowerMode, BatteryNotifyLowPowerMode, bool, true)                      \
    SETTING(batteryWarnLow, BatteryWarnLow, bool, true)                                            \
    NUMBER(batteryLowThreshold, BatteryLowThreshold, 20, 5, 50)                                    \
    SETTING(batteryHidePercentage, BatteryHidePercentage, bool, false)                             \
    SETTING(connectivityEnabled, ConnectivityEnabled, bool, true)                                  \
    NUMBER(connectivityDuration, ConnectivityDuration, 5, 1, 15)                                   \
    SETTING(connectivityWarnLow, ConnectivityWarnLow, bool, true)                                  \
    NUMBER(connectivityLowThreshold, ConnectivityLowThreshold, 20, 5, 50)                          \
    SETTING(focusEnabled, FocusEnabled, bool, true)                                                \
    NUMBER(focusDuration, FocusDuration, 5, 1, 15)                                                 \
    SETTING(focusReplaceWaveform, FocusReplaceWaveform, bool, false)                               \
    SETTING(focusHideLabel, FocusHideLabel, bool, false)                                           \
    /* Now playing, file tray, idle and lock, clipboard, pipelines */                              \
    SETTING(nowPlayingEnabled, NowPlayingEnabled, bool, true)                                      \
    NUMBER(nowPlayingIdleDuration, NowPlayingIdleDuration, 3, 1, 30)                               \
    SETTING(nowPlayingBarStyle, NowPlayingBarStyle, MediaBarStyle, MediaBarStyle::monochrome)      \
    SETTING(nowPlayingDisableArtworkFlip, NowPlayingDisableArtworkFlip, bool, false)               \
    SETTING(nowPlayingHideWhileSourceActive, NowPlayingHideWhileSourceActive, bool, false)         \
    SETTING(nowPlayingPeekOnChange, NowPlayingPeekOnChange, bool, true)                            \
    SETTING(trayMoveOnDrop, TrayMoveOnDrop, bool, false)                                           \
    NUMBER(trayMaxItems, TrayMaxItems, 50, 5, 200)                                                 \
    SETTING(trayCopyByDefault, TrayCopyByDefault, bool, true)                                      \
    SETTING(keepAwakeDuration, KeepAwakeDuration, KeepAwakeDurationSetting,                        \
            KeepAwakeDurationSetting::indefinite)                                                  \
    SETTING(lockSoundsEnabled, LockSoundsEnabled, bool, false)                                     \
    SETTING(showLockActivity, ShowLockActivity, bool, true)                                        \
    SETTING(clipboardEnabled, ClipboardEnabled, bool, true)                                        \
    NUMBER(clipboardMaxItems, ClipboardMaxItems, 40, 5, 200)                                       \
    SETTING(clipboardPersists, ClipboardPersists, bool, false)                                     \
    SETTING(pipelinesEnabled, PipelinesEnabled, bool, true)                                        \
    SETTING(pipelineOrder, PipelineOrder, PipelineList, PipelineList())                            \
    /* Calendar, Desk widgets and sync */                                                          \
    SETTING(visibleCalendars, VisibleCalendars, CalendarIDSet, CalendarIDSet())                    \
    NUMBER(calendarDaysBehind, CalendarDaysBehind, 7, 0, 30)                                       \
    NUMBER(calendarDaysAhead, CalendarDaysAhead, 7, 1, 30)                                         \
    SETTING(showPastEventsToday, ShowPastEventsToday, bool, false)                                 \
    SETTING(showAllDayEvents, ShowAllDayEvents, bool, false)                                       \
    SETTING(showMultiDayEvents, ShowMultiDayEvents, bool, false)                                   \
    NUMBER(calendarLeadMinutes, CalendarLeadMinutes, 5, 0, 60)                                     \
    SETTING(dismissAtEventEnd, DismissAtEventEnd, bool, true)                                      \
    SETTING(detectMeetingLinks, DetectMeetingLinks, bool, true)                                    \
    SETTING(widgetOrder, WidgetOrder, WidgetList, SettingsStore::defaultWidgetOrder())          \
    SETTING(enabledWidgets, EnabledWidgets, WidgetSet, SettingsStore::defaultEnabledWidgets())     \
    SETTING(widgetCells, WidgetCells, WidgetCellMap, WidgetCellMap())                              \
    SETTING(syncEnabled, SyncEnabled, bool, true)
// clang-format on
