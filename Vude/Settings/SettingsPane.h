#pragma once
// The settings window's panes, stored and chosen by case name.

#include "VudeKit/EnumTraits.h"

enum class SettingsPane {
    general,
    battery,
    connectivity,
    focus,
    display,
    sound,
    nowPlaying,
    calendar,
    fileTray,
    idleLock,
    ravo,
    shortcuts,
    quickApps,
    clipboard,
    about,
};

template <>
struct EnumTraits<SettingsPane> {
    static constexpr std::array cases{
        EnumCase{SettingsPane::general, "general"},
        EnumCase{SettingsPane::battery, "battery"},
        EnumCase{SettingsPane::connectivity, "connectivity"},
        EnumCase{SettingsPane::focus, "focus"},
        EnumCase{SettingsPane::display, "display"},
        EnumCase{SettingsPane::sound, "sound"},
        EnumCase{SettingsPane::nowPlaying, "nowPlaying"},
        EnumCase{SettingsPane::calendar, "calendar"},
        EnumCase{SettingsPane::fileTray, "fileTray"},
        EnumCase{SettingsPane::idleLock, "idleLock"},
        EnumCase{SettingsPane::ravo, "ravo"},
        EnumCase{SettingsPane::shortcuts, "shortcuts"},
        EnumCase{SettingsPane::quickApps, "quickApps"},
        EnumCase{SettingsPane::clipboard, "clipboard"},
        EnumCase{SettingsPane::about, "about"},
    };
};
