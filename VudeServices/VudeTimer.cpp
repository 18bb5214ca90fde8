#include "VudeServices/VudeTimer.h"

#include <nlohmann/json.hpp>

#include <algorithm>

namespace {

// Seconds from `from` to `to`, exact on the microsecond grid; a distance too
// large for it (a start pushed to the end of time) is still ordered right.
double secondsBetween(Date from, Date to)
{
    std::int64_t micros = 0;
    if (!__builtin_sub_overflow(to.time_since_epoch().count(), from.time_since_epoch().count(), &micros))
        return toSeconds(Duration(micros));
    return double(to.time_since_epoch().count()) / 1e6 - double(from.time_since_epoch().count()) / 1e6;
}

} // namespace

double VudeTimer::remaining(Date date) const
{
    if (startedAt)
        return std::max(0.0, total - secondsBetween(*startedAt, date));
    return pausedRemaining.value_or(total);
}

bool VudeTimer::hasFinished(Date date) const
{
    return isRunning() && remaining(date) <= 0;
}

double VudeTimer::progress(Date now) const
{
    if (!(total > 0))
        return 0;
    return 1 - remaining(now) / total;
}

std::string VudeTimer::encoded() const
{
    nlohmann::ordered_json object;
    object["id"] = id.toString();
    object["label"] = label;
    object["total"] = total;
    if (startedAt)
        object["startedAt"] = secondsSinceReferenceDate(*startedAt);
    if (pausedRemaining)
        object["pausedRemaining"] = *pausedRemaining;
    return object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::optional<VudeTimer> VudeTimer::decoded(std::string_view json)
{
    const auto object = nlohmann::json::parse(json, nullptr, false);
    if (!object.is_object())
        return std::nullopt;
    const auto id = object.find("id");
    const auto label = object.find("label");
    const auto total = object.find("total");
    if (id == object.end() || label == object.end() || total == object.end() || !id->is_string()
        || !label->is_string() || !total->is_number())
        return std::nullopt;
    const auto uuid = Uuid::parse(id->get<std::string>());
    if (!uuid)
        return std::nullopt;
    VudeTimer timer;
    timer.id = *uuid;
    timer.label = label->get<std::string>();
    timer.total = total->get<double>();
    for (const auto* key : {"startedAt", "pausedRemaining"}) {
        const auto found = object.find(key);
        if (found == object.end() || found->is_null())
            continue;
        if (!found->is_number())
            return std::nullopt;
        if (std::string_view(key) == "startedAt")
            timer.startedAt = dateFromSecondsSinceReferenceDate(found->get<double>());
        else
            timer.pausedRemaining = found->get<double>();
    }
    return timer;
}
