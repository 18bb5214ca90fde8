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

/// A module's entry function: `linked` where the program links the module's
/// code in (the tests: declare the entry weak, so it is null elsewhere), else
/// `symbolName` of the app's module `name`, opened now.
template <typename Function>
Expected<Function*, std::string> entry(Function* linked, std::string_view name, const char* symbolName)
{
    if (linked)
        return linked;
    auto address = symbol(name, symbolName);
    if (!address)
        return unexpected(address.error());
    return reinterpret_cast<Function*>(*address);
}

/// What the entry of a module that serves one library object hands out.
template <typename Library>
Expected<const Library*, std::string> library(const Library* (*linked)(), std::string_view name,
                                               const char* symbolName)
{
    auto found = entry(linked, name, symbolName);
    if (!found)
        return unexpected(found.error());
    return (*found)();
}

} // namespace LoadableModule
