#include "Platform/Core/ZipLibrary.h"

#include "Platform/Core/LoadableModule.h"

// The module's entry. Programs that link the module's code in (the tests)
// have it already; the app opens the module for it.
extern "C" const ZipLibrary* vudeZipLibrary() __attribute__((weak));

Expected<const ZipLibrary*, std::string> ZipLibrary::shared()
{
    static const auto library = LoadableModule::library(vudeZipLibrary, "vude-archive.so", "vudeZipLibrary");
    return library;
}
