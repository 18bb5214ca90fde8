#pragma once
// The desktop icon theme's picture of a kind of file, as a file manager
// shows it when it has no preview.

#include <QImage>

#include <optional>
#include <string>

namespace TypeIcon {

/// The theme's icon for the MIME type `mimeName` (its own icon, else its
/// generic one, else the theme's unknown-file icon) drawn `pixels` square.
/// None without such an icon or outside a GUI application. Main thread only.
std::optional<QImage> image(const std::string& mimeName, int pixels);

} // namespace TypeIcon
