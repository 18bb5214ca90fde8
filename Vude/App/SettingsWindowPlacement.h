#pragma once
// Where the settings window opens: centred on the primary screen's
// available area, or where the user last left it, unless that frame meets
// no screen now (a monitor since unplugged), when it comes back centred.
// The frame is kept in the user defaults under "VudeSettings" as
// "x y width height" in global coordinates.

#include <QRect>
#include <QSize>

#include <optional>
#include <string>
#include <vector>

namespace SettingsWindowPlacement {

inline constexpr const char* frameKey = "VudeSettings";
inline constexpr QSize contentSize{820, 560};
inline constexpr QSize minimumSize{720, 460};

QRect centred(QSize size, const QRect& screen);

/// `saved` when it meets one of `screens`, else `size` centred on `primary`.
QRect frame(const std::optional<QRect>& saved, QSize size, const QRect& primary, const std::vector<QRect>& screens);

std::string encode(const QRect& frame);
/// None for text that is not four integers with a positive size.
std::optional<QRect> decode(const std::string& text);

} // namespace SettingsWindowPlacement
