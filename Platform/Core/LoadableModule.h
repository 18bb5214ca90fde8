#pragma once
// Code that only some features need, with the large libraries it pulls in,
// is built as a module beside the app and opened on first use, so that the
// app's start pays for none of it: <root>/lib/vude/modules/<name>, found like
// the app's other files (AppResources). A module hands out one entry
// function. Modules are opened once and never closed.

#include "VudeKit/Expected.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace LoadableModule {

/// The address of `symbol` in the module file `file`, or why there is none
/// (no such file, a library it needs is missing, no such symbol).
/// Thread-safe.
Expected<void*, std::string> symbolIn(const std::filesystem::path& file, const char* symbol);

/// The same for the app's module `name` ("vude-imaging.so").
Expected<void*, std::string> symbol(std::string_view name, const char* symbol);

} // namespace LoadableModule
