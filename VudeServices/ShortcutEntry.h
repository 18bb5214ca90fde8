#pragma once
// A shortcut chosen for the Desk: which shortcut, under which label and
// symbol, with which text as its input.

#include "VudeKit/Uuid.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct ShortcutEntry {
    Uuid id;
    /// The name the shortcuts runner knows it by; the key for running it.
    std::string shortcutName;
    /// A label the user gave it.
    std::optional<std::string> customName;
    /// The symbol drawn on its button.
    std::string symbol;
    /// Text handed to the shortcut as its input.
    std::optional<std::string> textInput;

    /// The custom name when there is one (an empty one counts), else the
    /// shortcut's own name.
    const std::string& displayName() const { return customName ? *customName : shortcutName; }

    friend bool operator==(const ShortcutEntry&, const ShortcutEntry&) = default;
};

/// The stored list ("shortcuts.json"): a compact JSON array of objects with
/// the keys "id" (upper-case UUID text), "shortcutName", "customName",
/// "symbol" and "textInput", the optional two left out when absent.
std::string encodeShortcutEntries(const std::vector<ShortcutEntry>& entries);

/// The list back; none when the text is not such an array or any element
/// lacks "id", "shortcutName" or "symbol" or has a value of the wrong type
/// (null counts as absent for the optional keys). Unknown keys are ignored.
std::optional<std::vector<ShortcutEntry>> decodeShortcutEntries(std::string_view json);
