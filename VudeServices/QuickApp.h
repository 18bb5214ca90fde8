#pragma once
// An application pinned to the Desk's quick apps.

#include "VudeKit/Uuid.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct QuickApp {
    /// This pin; a new one each time an application is described.
    Uuid id;
    /// The application's app id (see DesktopAppId): the key of
    /// de-duplication, lookup and running state.
    std::string bundleID;
    /// The name shown.
    std::string name;
    /// The entry's path when it was described; used only when the app id no
    /// longer finds the application.
    std::optional<std::string> path;

    friend bool operator==(const QuickApp&, const QuickApp&) = default;
};

/// The name shown for an application's display name: every ".app" taken out.
std::string quickAppName(std::string_view displayName);

/// The stored list ("quickapps.json"): a compact JSON array of objects with
/// the keys "id" (upper-case UUID text), "bundleID", "name" and "path", the
/// last left out when absent.
std::string encodeQuickApps(const std::vector<QuickApp>& apps);

/// The list back; none when the text is not such an array or an element
/// lacks "id", "bundleID" or "name" or has a value of the wrong type (a null
/// "path" is none). Unknown keys are ignored.
std::optional<std::vector<QuickApp>> decodeQuickApps(std::string_view json);
