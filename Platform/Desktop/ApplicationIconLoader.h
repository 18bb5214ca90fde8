#pragma once
// Turning an application's icon into a QIcon through the icon theme. Needs a
// QGuiApplication; main thread.

#include "Platform/Desktop/ApplicationCatalog.h"

#include <QIcon>

#include <optional>

namespace ApplicationIconLoader {

/// The first of the icon's names the theme (or its hicolor fallback) has,
/// else its file; none when neither gives an image.
std::optional<QIcon> load(const ApplicationIcon& icon);

} // namespace ApplicationIconLoader
