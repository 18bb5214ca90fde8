#include "Platform/Images/ImageLibraries.h"

#include "Platform/Core/LoadableModule.h"

// The module's entry. Programs that link the module's code in (the tests)
// have it already; the app opens the module for it.
extern "C" const ImageLibraries* vudeImageLibraries() __attribute__((weak));

namespace {

constexpr const char* kModule = "vude-imaging.so";
constexpr const char* kEntry = "vudeImageLibraries";

} // namespace

Expected<const ImageLibraries*, std::string> ImageLibraries::shared()
{
    using Entry = const ImageLibraries* (*)();
    static const Expected<const ImageLibraries*, std::string> libraries =
        []() -> Expected<const ImageLibraries*, std::string> {
        if (vudeImageLibraries)
            return vudeImageLibraries();
        auto entry = LoadableModule::symbol(kModule, kEntry);
        if (!entry)
            return unexpected(entry.error());
        return reinterpret_cast<Entry>(*entry)();
    }();
    return libraries;
}
