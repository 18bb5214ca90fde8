// The backend's volume scale, on its own so that the audio module, which
// reads and writes volumes in it, builds it in too.
#include "Platform/Audio/PulseAudioBackend.h"

#include "VudeKit/Numbers.h"

#include <algorithm>

double PulseAudioBackend::volumeFromRaw(std::uint32_t raw)
{
    return std::min(static_cast<double>(raw) / normalVolume, 1.0);
}

std::uint32_t PulseAudioBackend::rawFromVolume(double volume)
{
    return saturatingRound<std::uint32_t>(clampedOrLower(volume, 0, 1) * normalVolume);
}
