#pragma once
// The settings window's panes, stored and chosen by case name, each with its
// title, symbol and tint, and the sidebar section it is listed in. The order
// of the cases is the sidebar's order.

#include "VudeKit/ActivityModels.h"
#include "VudeKit/EnumTraits.h"

#include <array>
#include <string_view>

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
        EnumCase{SettingsPane::general, "general", "General", "gearshape.fill"},
        EnumCase{SettingsPane::battery, "battery", "Battery", "bolt.fill"},
        EnumCase{SettingsPane::connectivity, "connectivity", "Connectivity", "airpods.gen3"},
        EnumCase{SettingsPane::focus, "focus", "Focus", "moon.fill"},
        EnumCase{SettingsPane::display, "display", "Display", "sun.max.fill"},
        EnumCase{SettingsPane::sound, "sound", "Sound", "speaker.wave.2.fill"},
        EnumCase{SettingsPane::nowPlaying, "nowPlaying", "Now Playing", "play.fill"},
        EnumCase{SettingsPane::calendar, "calendar", "Calendar", "calendar"},
        EnumCase{SettingsPane::fileTray, "fileTray", "File Tray", "tray.fill"},
        EnumCase{SettingsPane::idleLock, "idleLock", "Idle & Lock", "lock.fill"},
        EnumCase{SettingsPane::ravo, "ravo", "Widgets", "square.grid.2x2.fill"},
        EnumCase{SettingsPane::shortcuts, "shortcuts", "Shortcuts", "sparkles"},
        EnumCase{SettingsPane::quickApps, "quickApps", "Quick Apps", "square.grid.2x2.fill"},
        EnumCase{SettingsPane::clipboard, "clipboard", "Clipboard", "doc.on.clipboard.fill"},
        EnumCase{SettingsPane::about, "about", "About", "info.circle.fill"},
    };
};

/// The sidebar's sections, in order; the first has no heading.
enum class SettingsSection { general, notifications, liveActivities, desk, vude };

template <>
struct EnumTraits<SettingsSection> {
    static constexpr std::array cases{
        EnumCase{SettingsSection::general, "general", ""},
        EnumCase{SettingsSection::notifications, "notifications", "Notifications"},
        EnumCase{SettingsSection::liveActivities, "liveActivities", "Live Activities"},
        EnumCase{SettingsSection::desk, "desk", "Desk"},
        EnumCase{SettingsSection::vude, "vude", "Vude"},
    };
};

/// The pane's title ("Idle & Lock"); its symbol is symbol(pane).
constexpr std::string_view title(SettingsPane pane)
{
    return displayName(pane);
}

/// The colour of the pane's tile in the sidebar and the header.
constexpr TintName tint(SettingsPane pane)
{
    switch (pane) {
    case SettingsPane::general:
    case SettingsPane::ravo:
    case SettingsPane::about:
        return TintName::stone;
    case SettingsPane::battery:
    case SettingsPane::nowPlaying:
        return TintName::amber;
    case SettingsPane::connectivity:
    case SettingsPane::calendar:
    case SettingsPane::clipboard:
        return TintName::sage;
    case SettingsPane::focus:
    case SettingsPane::fileTray:
    case SettingsPane::quickApps:
        return TintName::slate;
    case SettingsPane::display:
    case SettingsPane::sound:
    case SettingsPane::shortcuts:
        return TintName::brass;
    case SettingsPane::idleLock:
        return TintName::oxblood;
    }
    return TintName::stone;
}

/// The sidebar section listing the pane. Panes keep their case order
/// within a section.
constexpr SettingsSection section(SettingsPane pane)
{
    switch (pane) {
    case SettingsPane::general:
        return SettingsSection::general;
    case SettingsPane::battery:
    case SettingsPane::connectivity:
    case SettingsPane::focus:
    case SettingsPane::display:
    case SettingsPane::sound:
        return SettingsSection::notifications;
    case SettingsPane::nowPlaying:
    case SettingsPane::calendar:
    case SettingsPane::fileTray:
    case SettingsPane::idleLock:
        return SettingsSection::liveActivities;
    case SettingsPane::ravo:
    case SettingsPane::shortcuts:
    case SettingsPane::quickApps:
    case SettingsPane::clipboard:
        return SettingsSection::desk;
    case SettingsPane::about:
        return SettingsSection::vude;
    }
    return SettingsSection::general;
}
