#pragma once
// The Focus filter a user attaches to a Focus mode: whether to show a pill,
// and the mode's name and symbol. Running it stores the identity through the
// FocusFilterBridge. On Linux nothing runs it by itself; the app's session-bus
// method (FocusFilterEndpoint) runs it for the user's automation.

#include "VudeServices/FocusFilterBridge.h"

#include <optional>
#include <string>
#include <string_view>

struct VudeFocusFilter {
    static constexpr std::string_view title = "Show Focus in the notch";
    static constexpr std::string_view description =
        "Lets Vude show which Focus is on. Without this, Vude can tell that a Focus is active but not which one, "
        "and shows a generic pill.";
    static constexpr std::string_view showInNotchTitle = "Show a pill when this Focus turns on";
    static constexpr std::string_view modeNameTitle = "Focus name";
    static constexpr std::string_view symbolNameTitle = "Focus symbol";

    bool showInNotch = true;
    std::optional<std::string> modeName{};
    std::optional<std::string> symbolName{};

    /// How a configured filter is listed.
    struct DisplayRepresentation {
        std::string title;
        std::string subtitle;

        bool operator==(const DisplayRepresentation&) const = default;
    };
    /// Title: the mode name, else "Focus"; subtitle "Shown in the notch" or
    /// "Hidden".
    DisplayRepresentation displayRepresentation() const;

    /// Applies the filter: the name and symbol when it shows a pill, neither
    /// when it does not. Main thread.
    void perform(FocusFilterBridge& bridge = FocusFilterBridge::shared()) const;

    bool operator==(const VudeFocusFilter&) const = default;
};
