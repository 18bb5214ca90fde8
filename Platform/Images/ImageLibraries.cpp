#include "Platform/Images/ImageLibraries.h"

#include "Platform/Core/LoadableModule.h"

// The module's entry. Programs that link the module's code in (the tests)
// have it already; the app opens the module for it.
extern "C" const ImageLibraries* vudeImageLibraries() __attribute__((weak));

Expected<const ImageLibraries*, std::string> ImageLibraries::shared()
{
    static const auto libraries = LoadableModule::library(vudeImageLibraries, "vude-imaging.so", "vudeImageLibraries");
    return libraries;
}
