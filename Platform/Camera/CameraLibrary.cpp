#include "Platform/Camera/CameraLibrary.h"

#include "Platform/Core/LoadableModule.h"

// The module's entry. Programs that link the module's code in (the tests)
// have it already; the app opens the module for it.
extern "C" const CameraLibrary* vudeCameraLibrary() __attribute__((weak));

Expected<const CameraLibrary*, std::string> CameraLibrary::shared()
{
    static const auto library = LoadableModule::library(vudeCameraLibrary, "vude-camera.so", "vudeCameraLibrary");
    return library;
}
