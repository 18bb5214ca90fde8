#include "Platform/Audio/PulseAudioLibrary.h"

#include "Platform/Core/LoadableModule.h"

// The module's entry. Programs that link the module's code in (the tests)
// have it already; the app opens the module for it.
extern "C" const PulseAudioLibrary* vudePulseAudioLibrary() __attribute__((weak));

Expected<const PulseAudioLibrary*, std::string> PulseAudioLibrary::shared()
{
    using Entry = const PulseAudioLibrary* (*)();
    static const Expected<const PulseAudioLibrary*, std::string> library =
        []() -> Expected<const PulseAudioLibrary*, std::string> {
        if (vudePulseAudioLibrary)
            return vudePulseAudioLibrary();
        auto entry = LoadableModule::symbol("vude-audio.so", "vudePulseAudioLibrary");
        if (!entry)
            return unexpected(entry.error());
        return reinterpret_cast<Entry>(*entry)();
    }();
    return library;
}
