#include "Platform/Core/ZipLibrary.h"

#include "Platform/Core/LoadableModule.h"

// The module's entry. Programs that link the module's code in (the tests)
// have it already; the app opens the module for it.
extern "C" const ZipLibrary* vudeZipLibrary() __attribute__((weak));

Expected<const ZipLibrary*, std::string> ZipLibrary::shared()
{
    using Entry = const ZipLibrary* (*)();
    static const Expected<const ZipLibrary*, std::string> library = []() -> Expected<const ZipLibrary*, std::string> {
        if (vudeZipLibrary)
            return vudeZipLibrary();
        auto entry = LoadableModule::symbol("vude-archive.so", "vudeZipLibrary");
        if (!entry)
            return unexpected(entry.error());
        return reinterpret_cast<Entry>(*entry)();
    }();
    return library;
}
