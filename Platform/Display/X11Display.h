#pragma once
// Reaching the X server before Qt does: Qt ends the process with an abort when
// it cannot open the display, so the app asks first and can say why.

#include <string>

namespace X11Display {

/// Opens and at once closes a connection to the X server that `display` names
/// (the DISPLAY syntax, ":0"); false when there is none to reach.
bool canOpen(const std::string& display);

} // namespace X11Display
