#include "VudeKit/ActivityCoordinator.h"

#include <algorithm>
#include <chrono>

using namespace std::chrono_literals;

namespace {

/// A resumed activity stays at least this long, even when its time ran out
/// while it was suspended.
constexpr Duration kMinimumResumeTime = 400ms;

/// With the Desk open only these pills pass: they answer a key the user
/// pressed.
bool isHudKind(ActivityKind kind)
{
    return kind == ActivityKind::sound || kind == ActivityKind::display || kind == ActivityKind::keyboardBacklight;
}

} // namespace

ActivityCoordinator::ActivityCoordinator(const ClockSource& clock)
    : m_allowedDuringFocus{ActivityKind::battery, ActivityKind::connectivity, ActivityKind::display,
                           ActivityKind::sound}
    , m_clock(clock)
{
    const auto kinds = allCases<ActivityKind>();
    m_showInFullscreen.insert(kinds.begin(), kinds.end());
}

bool ActivityCoordinator::setAmbient(std::optional<ActivityPayload> payload)
{
    if (payload == m_ambient)
        return false;
    // By identity: a payload holding NaN (a ring of NaN) never equals itself.
    const bool showingOldAmbient = m_current && m_ambient && m_current->id() == m_ambient->id();
    assignAmbient(std::move(payload));
    if (!m_current) {
        if (!m_ambient)
            return false;
        present(*m_ambient);
        return true;
    }
    if (!showingOldAmbient)
        return false;
    if (m_ambient)
        present(*m_ambient);
    else
        advance();
    return true;
}

bool ActivityCoordinator::submit(ActivityPayload payload)
{
    if (!m_activitiesEnabled || !passesGates(payload))
        return false;

    // Same key as the one shown: replace it and re-arm its expiry, whatever
    // the priority. An activity it suspended stays suspended.
    if (m_current && m_current->dedupeKey() == payload.dedupeKey()) {
        present(std::move(payload));
        return true;
    }

    // Same key as the suspended one. A queued payload takes its place and its
    // full duration, so an outdated state ("Charging") cannot come back once
    // the interrupt ends. An interrupt shows at once and supersedes it; an
    // ambient one only fills its slot, and the suspended one still resumes.
    if (m_suspended && m_suspended->payload.dedupeKey() == payload.dedupeKey()) {
        if (payload.priority() == ActivityPriority::queued) {
            const Duration duration = payload.duration();
            m_suspended = Suspended{std::move(payload), duration};
            return false;
        }
        if (payload.priority() == ActivityPriority::interrupt)
            m_suspended.reset();
    }

    const auto waiting = std::find_if(m_queue.begin(), m_queue.end(), [&](const ActivityPayload& queued) {
        return queued.dedupeKey() == payload.dedupeKey();
    });
    if (waiting != m_queue.end()) {
        if (*waiting != payload) {
            willChange(Property::queue);
            *waiting = std::move(payload);
        }
        return false;
    }

    switch (payload.priority()) {
    case ActivityPriority::ambient:
        assignAmbient(payload);
        if (m_current)
            return false;
        present(std::move(payload));
        return true;
    case ActivityPriority::queued:
        if (!m_current || m_current->priority() == ActivityPriority::ambient) {
            present(std::move(payload));
            return true;
        }
        willChange(Property::queue);
        if (m_queue.size() >= maxQueueDepth)
            m_queue.erase(m_queue.begin(), m_queue.end() - (maxQueueDepth - 1));
        m_queue.push_back(std::move(payload));
        return false;
    case ActivityPriority::interrupt:
        // Only a queued activity is set aside to come back later; an ambient one
        // still stands in its slot and an interrupt simply gives way.
        if (m_current && m_current->priority() == ActivityPriority::queued && m_expiry) {
            const Date now = m_clock.now();
            const Duration remaining = *m_expiry > now ? *m_expiry - now : Duration::zero();
            m_suspended = Suspended{*m_current, remaining};
        }
        present(std::move(payload));
        return true;
    }
    return false;
}

bool ActivityCoordinator::refresh(const ActivityPayload& payload)
{
    const auto same = [&](const ActivityPayload& other) { return other.id() == payload.id(); };
    const auto waiting = std::find_if(m_queue.begin(), m_queue.end(), same);
    if (waiting != m_queue.end() && *waiting != payload) {
        willChange(Property::queue);
        *waiting = payload;
    }
    if (m_suspended && same(m_suspended->payload))
        m_suspended->payload = payload;
    if (m_ambient && same(*m_ambient))
        assignAmbient(payload);
    if (!m_current || !same(*m_current))
        return false;
    assignCurrent(payload);
    return true;
}

bool ActivityCoordinator::tick()
{
    if (!m_expiry || m_clock.now() < *m_expiry)
        return false;
    return advance();
}

bool ActivityCoordinator::dismissCurrent()
{
    m_suspended.reset();
    return advance();
}

void ActivityCoordinator::cycle(bool forward)
{
    if (m_queue.empty())
        return;
    willChange(Property::queue);
    std::optional<ActivityPayload> next;
    if (forward) {
        if (m_current)
            m_queue.push_back(*m_current);
        next = std::move(m_queue.front());
        m_queue.erase(m_queue.begin());
    } else {
        if (m_current)
            m_queue.insert(m_queue.begin(), *m_current);
        next = std::move(m_queue.back());
        m_queue.pop_back();
    }
    present(std::move(*next));
}

void ActivityCoordinator::clear(ActivityKind kind)
{
    const auto ofKind = [kind](const ActivityPayload& payload) { return payload.kind() == kind; };
    if (std::any_of(m_queue.begin(), m_queue.end(), ofKind)) {
        willChange(Property::queue);
        std::erase_if(m_queue, ofKind);
    }
    // The suspended and ambient ones go before moving on, or moving on would
    // bring one of them straight back.
    if (m_suspended && ofKind(m_suspended->payload))
        m_suspended.reset();
    if (m_ambient && ofKind(*m_ambient))
        assignAmbient(std::nullopt);
    if (m_current && ofKind(*m_current))
        advance();
}

bool ActivityCoordinator::passesGates(const ActivityPayload& payload) const
{
    const ActivityKind kind = payload.kind();
    if (m_focusActive && !m_allowedDuringFocus.contains(kind))
        return false;
    if (m_isFrontmostAppFullscreen && !m_showInFullscreen.contains(kind))
        return false;
    if (m_isRavoOpen && !isHudKind(kind))
        return false;
    return true;
}

void ActivityCoordinator::present(ActivityPayload payload)
{
    m_expiry = saturatingAdd(m_clock.now(), payload.duration());
    assignCurrent(std::move(payload));
}

bool ActivityCoordinator::advance()
{
    if (m_suspended) {
        Suspended resumed = std::move(*m_suspended);
        m_suspended.reset();
        m_expiry = saturatingAdd(m_clock.now(), std::max(resumed.remaining, kMinimumResumeTime));
        assignCurrent(std::move(resumed.payload));
    } else if (!m_queue.empty()) {
        willChange(Property::queue);
        ActivityPayload next = std::move(m_queue.front());
        m_queue.erase(m_queue.begin());
        present(std::move(next));
    } else if (m_ambient) {
        // The slot keeps its payload: it comes back for its full duration each
        // time it expires with nothing else waiting.
        present(*m_ambient);
    } else {
        m_expiry.reset();
        assignCurrent(std::nullopt);
    }
    return true;
}

void ActivityCoordinator::assignCurrent(std::optional<ActivityPayload> payload)
{
    if (payload == m_current)
        return;
    willChange(Property::current);
    m_current = std::move(payload);
}

void ActivityCoordinator::assignAmbient(std::optional<ActivityPayload> payload)
{
    if (payload == m_ambient)
        return;
    willChange(Property::ambient);
    m_ambient = std::move(payload);
}

void ActivityCoordinator::willChange(Property property) const
{
    if (m_willChange)
        m_willChange(property);
}
