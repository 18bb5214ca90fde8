#pragma once
// What the app says and decides while it starts, before and just after the
// display opens: which Qt platform it runs on, the one line that explains a
// missing display (instead of Qt's abort), and the line that tells a user in
// a terminal that the app, which may show nothing yet, is running.

#include "Platform/Core/Environment.h"

#include <functional>
#include <optional>
#include <string>

namespace Launch {

/// The platform the app draws on when QT_QPA_PLATFORM chooses none: X11 (on
/// Wayland through XWayland), where the panels, shapes and key grabs work.
inline constexpr const char* kDefaultPlatform = "xcb";

/// The Qt platform in use: QT_QPA_PLATFORM's first choice without its
/// options ("offscreen" for "offscreen:configfile=screens.json"), else
/// kDefaultPlatform.
std::string platformName(const Environment::Lookup& environment);

/// Whether an X server answers at a DISPLAY name.
using DisplayProbe = std::function<bool(const std::string& display)>;

/// One line saying that no display was found and why, or none when the
/// platform has its display (or needs none: only X11 is checked, any other
/// platform is Qt's to open).
std::optional<std::string> missingDisplayLine(const std::string& platform, const Environment::Lookup& environment,
                                              const DisplayProbe& canOpenX11Display);

/// "Vude is running on display :0; quit with Ctrl-C", or the platform's name
/// where there is no X display.
std::string runningLine(const std::string& platform, const Environment::Lookup& environment);

} // namespace Launch
