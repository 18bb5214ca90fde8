#pragma once
// Readable failure messages for the audio value types.

#include "VudeServices/AudioState.h"

#include <ostream>

inline void PrintTo(const AudioState& state, std::ostream* out)
{
    *out << "{volume " << state.volume << (state.isMuted ? ", muted" : "") << ", \"" << state.deviceName << "\", "
         << rawValue(state.transport) << (state.canSetVolume ? "" : ", fixed volume") << "}";
}

inline void PrintTo(const AudioOutputDevice& device, std::ostream* out)
{
    *out << "{" << device.id << ", \"" << device.name << "\", " << rawValue(device.transport)
         << (device.isDefault ? ", default" : "") << "}";
}
