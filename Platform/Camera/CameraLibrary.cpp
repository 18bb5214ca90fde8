#include "Platform/Camera/CameraLibrary.h"

#include "Platform/Core/LoadableModule.h"

// The module's entry. Programs that link the module's code in (the tests)
// have it already; the app opens the module for it.
extern "C" const CameraLibrary* vudeCameraLibrary() __attribute__((weak));

Expected<const CameraLibrary*, std::string> CameraLibrary::shared()
{
    using Entry = const CameraLibrary* (*)();
    static const Expected<const CameraLibrary*, std::string> library =
        []() -> Expected<const CameraLibrary*, std::string> {
        if (vudeCameraLibrary)
            return vudeCameraLibrary();
        auto entry = LoadableModule::symbol("vude-camera.so", "vudeCameraLibrary");
        if (!entry)
            return unexpected(entry.error());
        return reinterpret_cast<Entry>(*entry)();
    }();
    return library;
}
