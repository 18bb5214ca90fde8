#include "Vude/Desk/MediaTimeline.h"

#include "VudeKit/Numbers.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

MediaTimeline MediaTimeline::of(const NowPlayingState& state, Date now, std::optional<double> scrubValue)
{
    MediaTimeline timeline;
    timeline.seekable = hasUsableDuration(state.duration);
    timeline.length = timeline.seekable ? std::max(*state.duration, 1.0) : 1.0;
    timeline.position = scrubValue ? *scrubValue : state.position(now).value_or(0);
    const double fraction = timeline.position / timeline.length;
    timeline.fraction = std::isfinite(fraction) ? std::clamp(fraction, 0.0, 1.0) : 0.0;
    return timeline;
}

bool MediaTimeline::hasUsableDuration(const std::optional<double>& duration)
{
    return duration && std::isfinite(*duration) && *duration > 0;
}

QString MediaTimeline::time(double seconds)
{
    if (!std::isfinite(seconds) || seconds < 0)
        return QStringLiteral("0:00");
    const auto whole = saturatingCast<std::int64_t>(std::trunc(seconds));
    return QString::number(whole / 60) + QLatin1Char(':') +
           QStringLiteral("%1").arg(whole % 60, 2, 10, QLatin1Char('0'));
}

double MediaTimeline::scrubValue(double x, double width, double length)
{
    double share = x / width;
    if (std::isnan(share))
        share = 0;
    return std::clamp(share, 0.0, 1.0) * length;
}
