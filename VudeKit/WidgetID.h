#pragma once
// The catalogue of the Desk's eleven widgets: stable ids (stored in the
// widget settings), labels, symbols and size limits in cells.

#include "VudeKit/EnumTraits.h"

enum class WidgetID {
    media,
    calendar,
    todos,
    timer,
    notes,
    shortcuts,
    mirror,
    quickApps,
    weather,
    clipboard,
    audioDevice,
};

template <>
struct EnumTraits<WidgetID> {
    using W = WidgetID;
    static constexpr std::array cases{
        EnumCase{W::media, "media", "Media Player", "music.note"},
        EnumCase{W::calendar, "calendar", "Calendar", "calendar"},
        EnumCase{W::todos, "todos", "To-dos", "checklist"},
        EnumCase{W::timer, "timer", "Timer", "timer"},
        EnumCase{W::notes, "notes", "Notes", "note.text"},
        EnumCase{W::shortcuts, "shortcuts", "Shortcuts", "sparkles"},
        EnumCase{W::mirror, "mirror", "Mirror", "person.crop.circle"},
        EnumCase{W::quickApps, "quickApps", "Quick Apps", "square.grid.2x2"},
        EnumCase{W::weather, "weather", "Weather", "cloud.sun"},
        EnumCase{W::clipboard, "clipboard", "Clipboard", "doc.on.clipboard"},
        EnumCase{W::audioDevice, "audioDevice", "Sound Output", "speaker.wave.2"},
    };
};

namespace widget_catalogue {
struct Size {
    int defaultCells;
    int minCells;
    double preferredHeight; // px
};

// Indexed by the enumeration's value, in declaration order.
inline constexpr Size kSizes[] = {
    {5, 4, 146}, // media
    {5, 3, 146}, // calendar
    {4, 3, 146}, // todos
    {4, 2, 146}, // timer
    {5, 3, 146}, // notes
    {4, 2, 146}, // shortcuts
    {2, 2, 120}, // mirror
    {4, 2, 140}, // quickApps
    {3, 2, 120}, // weather
    {5, 3, 146}, // clipboard
    {4, 2, 140}, // audioDevice
};
static_assert(std::size(kSizes) == EnumTraits<WidgetID>::cases.size());
} // namespace widget_catalogue

/// The widest any widget may be, in cells.
inline constexpr int kWidgetMaxCells = 8;

constexpr int defaultCells(WidgetID id) { return widget_catalogue::kSizes[static_cast<int>(id)].defaultCells; }
constexpr int minCells(WidgetID id) { return widget_catalogue::kSizes[static_cast<int>(id)].minCells; }
constexpr int maxCells(WidgetID) { return kWidgetMaxCells; }
constexpr double preferredHeight(WidgetID id) { return widget_catalogue::kSizes[static_cast<int>(id)].preferredHeight; }
/// Every widget of the catalogue has a view.
constexpr bool isImplemented(WidgetID) { return true; }
