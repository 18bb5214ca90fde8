#pragma once
// Which of a camera's formats the mirror captures in.

#include <QSize>

#include <cstddef>
#include <optional>
#include <span>

namespace CameraFormats {

/// A format the camera offers, in plain values.
struct Format {
    int width = 0;
    int height = 0;
    double maxFrameRate = 0;
};

inline constexpr QSize medium{480, 360};

/// A small picture needs no more than a medium resolution: the index of the
/// smallest format of at least `medium` (the most frames a second among
/// equals), else of the largest; none for no formats.
std::optional<std::size_t> mediumFormat(std::span<const Format> formats);

} // namespace CameraFormats
