#pragma once
// The plain values the repository publishes to the Desk; views never see a
// stored row. Each is compared memberwise and identified by its `id`, the
// row's `uuid`.

#include "VudeKit/Date.h"
#include "VudeKit/Uuid.h"

#include <optional>
#include <string>

struct TodoSnapshot {
    Uuid id;
    std::string title;
    bool isDone = false;
    bool isFavorite = false;
    Date createdAt;

    friend bool operator==(const TodoSnapshot&, const TodoSnapshot&) = default;
};

struct TimerSnapshot {
    Uuid id;
    std::string label;
    /// The timer's length in seconds.
    double total = 0;

    friend bool operator==(const TimerSnapshot&, const TimerSnapshot&) = default;
};

struct ShortcutSnapshot {
    Uuid id;
    /// The name the shortcuts runner knows the shortcut by.
    std::string shortcutName;
    std::optional<std::string> customName;
    std::string symbol;
    /// Text handed to the shortcut when it runs.
    std::optional<std::string> textInput;

    /// The custom name when there is one (an empty one counts), else the
    /// shortcut's own name.
    const std::string& displayName() const { return customName ? *customName : shortcutName; }

    friend bool operator==(const ShortcutSnapshot&, const ShortcutSnapshot&) = default;
};
