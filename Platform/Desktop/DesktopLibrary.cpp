#include "Platform/Desktop/DesktopLibrary.h"

#include "Platform/Core/LoadableModule.h"

#include <cstdio>

// The module's entry. Programs that link the module's code in (the tests)
// have it already; the app opens the module for it.
extern "C" const DesktopLibrary* vudeDesktopLibrary() __attribute__((weak));

Expected<const DesktopLibrary*, std::string> DesktopLibrary::shared()
{
    using Entry = const DesktopLibrary* (*)();
    static const Expected<const DesktopLibrary*, std::string> library =
        []() -> Expected<const DesktopLibrary*, std::string> {
        if (vudeDesktopLibrary)
            return vudeDesktopLibrary();
        auto entry = LoadableModule::symbol("vude-desktop.so", "vudeDesktopLibrary");
        if (!entry) {
            // Its users fall back quietly, each many times over: said here, once.
            std::fprintf(stderr, "vude: %s\n", entry.error().c_str());
            return unexpected(entry.error());
        }
        return reinterpret_cast<Entry>(*entry)();
    }();
    return library;
}
