#include "Platform/Audio/PulseAudioLibrary.h"

#include "Platform/Core/LoadableModule.h"

// The module's entry. Programs that link the module's code in (the tests)
// have it already; the app opens the module for it.
extern "C" const PulseAudioLibrary* vudePulseAudioLibrary() __attribute__((weak));

Expected<const PulseAudioLibrary*, std::string> PulseAudioLibrary::shared()
{
    static const auto library = LoadableModule::library(vudePulseAudioLibrary, "vude-audio.so", "vudePulseAudioLibrary");
    return library;
}
