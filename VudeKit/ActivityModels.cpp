#include "VudeKit/ActivityModels.h"

std::optional<ActivityPriority> activityPriorityFromRaw(int raw)
{
    switch (raw) {
    case 0:
        return ActivityPriority::ambient;
    case 1:
        return ActivityPriority::queued;
    case 2:
        return ActivityPriority::interrupt;
    default:
        return std::nullopt;
    }
}

ActivityPayload::ActivityPayload(Uuid id, ActivityKind kind, ActivityPriority priority,
                                 std::optional<std::string> dedupeKey, ActivityGlyph leading,
                                 std::optional<std::string> title, std::optional<std::string> subtitle,
                                 ActivityTrailing trailing, Duration duration,
                                 std::optional<ActivityInteraction> interaction, Date createdAt)
    : m_id(id)
    , m_kind(kind)
    , m_priority(priority)
    , m_dedupeKey(dedupeKey ? std::move(*dedupeKey) : std::string(rawValue(kind)))
    , m_leading(std::move(leading))
    , m_title(std::move(title))
    , m_subtitle(std::move(subtitle))
    , m_trailing(std::move(trailing))
    , m_duration(duration)
    , m_interaction(std::move(interaction))
    , m_createdAt(createdAt)
{
}
