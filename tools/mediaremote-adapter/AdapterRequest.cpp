#include "AdapterRequest.h"

#include <cmath>

namespace AdapterRequest {

namespace {

std::optional<double> finiteNumber(const QString& text)
{
    bool ok = false;
    // QByteArray's conversion always reads the C locale.
    const double value = text.toLatin1().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace

std::optional<Request> parse(const QStringList& arguments)
{
    // arguments[0] is the framework folder.
    if (arguments.size() < 2)
        return std::nullopt;
    const QString verb = arguments[1];
    const QStringList rest = arguments.mid(2);

    if (verb == QLatin1String("stream")) {
        Stream stream;
        for (const auto& option : rest) {
            if (!option.startsWith(QLatin1String("--debounce=")))
                return std::nullopt;
            bool ok = false;
            stream.debounceMilliseconds = option.mid(11).toInt(&ok);
            if (!ok || stream.debounceMilliseconds < 0 || stream.debounceMilliseconds > 10'000)
                return std::nullopt;
        }
        return stream;
    }
    if (rest.size() == 1 && rest[0] == QLatin1String("test"))
        return Test{verb};
    if (rest.size() != 1)
        return std::nullopt;
    const QString value = rest[0];

    if (verb == QLatin1String("send")) {
        static constexpr std::pair<const char*, Transport> codes[] = {
            {"0", Transport::play}, {"1", Transport::pause}, {"2", Transport::toggle},
            {"4", Transport::next}, {"5", Transport::previous},
        };
        for (const auto& [code, transport] : codes)
            if (value == QLatin1String(code))
                return Send{transport};
        return std::nullopt;
    }
    if (verb == QLatin1String("seek")) {
        const auto seconds = finiteNumber(value);
        if (!seconds)
            return std::nullopt;
        // Before the start means the start; beyond ~292000 years means nothing.
        if (*seconds > 9.2e12)
            return std::nullopt;
        return Seek{std::llround(std::max(*seconds, 0.0) * 1e6)};
    }
    if (verb == QLatin1String("shuffle")) {
        if (value == QLatin1String("off"))
            return SetShuffle{false};
        if (value == QLatin1String("items") || value == QLatin1String("collections"))
            return SetShuffle{true};
        return std::nullopt;
    }
    if (verb == QLatin1String("repeat")) {
        if (value == QLatin1String("off"))
            return SetRepeat{QStringLiteral("None")};
        if (value == QLatin1String("one"))
            return SetRepeat{QStringLiteral("Track")};
        if (value == QLatin1String("all"))
            return SetRepeat{QStringLiteral("Playlist")};
        return std::nullopt;
    }
    if (verb == QLatin1String("speed")) {
        const auto rate = finiteNumber(value);
        if (!rate || *rate <= 0)
            return std::nullopt;
        return SetSpeed{*rate};
    }
    return std::nullopt;
}

} // namespace AdapterRequest
