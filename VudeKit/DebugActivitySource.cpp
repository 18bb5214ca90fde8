#include "VudeKit/DebugActivitySource.h"

#include <chrono>

using namespace std::chrono_literals;

namespace DebugActivitySource {

ActivityPayload make(ActivityKind kind, Date now)
{
    using P = ActivityPriority;
    using G = ActivityGlyph;
    using T = ActivityTrailing;
    const auto sample = [&](P priority, std::optional<std::string> dedupeKey, G leading,
                            std::string title, std::optional<std::string> subtitle, T trailing, Duration duration) {
        return ActivityPayload(Uuid::random(), kind, priority, std::move(dedupeKey), std::move(leading),
                               std::move(title), std::move(subtitle), std::move(trailing), duration, std::nullopt,
                               now);
    };

    switch (kind) {
    case ActivityKind::sound:
        return sample(P::interrupt, "sound", G::symbol("speaker.wave.2.fill"), "MacBook Air Speakers", std::nullopt,
                      T::bar(0.62), 1500ms);
    case ActivityKind::display:
        return sample(P::interrupt, "display", G::symbol("sun.max.fill"), "Built-in Display", std::nullopt,
                      T::bar(0.8), 1500ms);
    case ActivityKind::nowPlaying:
        return sample(P::ambient, "np", G::symbol("music.note"), "Right Here Right Now",
                      "Sample Artist & Guest Singer", T::waveform(true), 3s);
    case ActivityKind::battery:
        return sample(P::queued, "battery-charging", G::symbolTinted("bolt.fill", TintName::sage), "Charging",
                      "1 hr 12 min to full", T::percent(0.64), 5s);
    case ActivityKind::connectivity:
        return sample(P::queued, "bt-airpods", G::symbol("airpods.gen3"), "AirPods Pro", "Connected",
                      T::percent(0.87), 5s);
    case ActivityKind::focus:
        return sample(P::queued, "focus", G::symbolTinted("moon.fill", TintName::slate), "Focus",
                      "Do Not Disturb on", T::none(), 5s);
    case ActivityKind::fileTray:
        return sample(P::queued, "tray", G::symbol("tray.fill"), "3 files added", std::nullopt, T::text("3"), 4s);
    case ActivityKind::timerEnded:
        return sample(P::interrupt, "timer", G::symbolTinted("timer", TintName::amber), "Timer finished", "Tea",
                      T::none(), 6s);
    case ActivityKind::keyboardBacklight:
    case ActivityKind::calendar:
    case ActivityKind::update:
    case ActivityKind::download:
    case ActivityKind::screenshot:
    case ActivityKind::weather:
    case ActivityKind::idleLock:
        break;
    }
    // No dedupe key given: the payload takes the kind's case name.
    return sample(P::queued, std::nullopt, G::symbol(std::string(symbol(kind))), std::string(displayName(kind)),
                  std::nullopt, T::none(), 4s);
}

} // namespace DebugActivitySource
