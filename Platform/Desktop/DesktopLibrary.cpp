#include "Platform/Desktop/DesktopLibrary.h"

#include "Platform/Core/LoadableModule.h"

#include <cstdio>

// The module's entry. Programs that link the module's code in (the tests)
// have it already; the app opens the module for it.
extern "C" const DesktopLibrary* vudeDesktopLibrary() __attribute__((weak));

Expected<const DesktopLibrary*, std::string> DesktopLibrary::shared()
{
    static const auto library = [] {
        auto opened = LoadableModule::library(vudeDesktopLibrary, "vude-desktop.so", "vudeDesktopLibrary");
        if (!opened)
            // Its users fall back quietly, each many times over: said here, once.
            std::fprintf(stderr, "vude: %s\n", opened.error().c_str());
        return opened;
    }();
    return library;
}
