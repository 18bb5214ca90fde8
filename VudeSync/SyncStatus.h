#pragma once
// What the synced store's mirroring is doing, as the settings window and the
// diagnostics show it: idle (with the end of the last finished sync, if
// any), not running for a reason, or syncing.

#include "VudeKit/ClockSource.h"
#include "VudeKit/EnumTraits.h"
#include "VudeKit/LinuxTexts.h"

#include <optional>
#include <string>

/// Why sync is not running. Stored and compared by its raw text, the
/// product's own message; the text shown here is its display name.
enum class SyncUnavailability { signedOut, restricted, disabled, quotaExceeded, containerUnavailable };

template <>
struct EnumTraits<SyncUnavailability> {
    using U = SyncUnavailability;
    static constexpr std::array cases{
        EnumCase{U::signedOut, LinuxTexts::syncSignedOut.original, LinuxTexts::syncSignedOut.shown},
        EnumCase{U::restricted, LinuxTexts::syncRestricted.original, LinuxTexts::syncRestricted.shown},
        EnumCase{U::disabled, "Turned off in Vude's settings", "Turned off in Vude's settings"},
        EnumCase{U::quotaExceeded, LinuxTexts::syncQuotaExceeded.original, LinuxTexts::syncQuotaExceeded.shown},
        EnumCase{U::containerUnavailable, LinuxTexts::syncContainerUnavailable.original,
                 LinuxTexts::syncContainerUnavailable.shown},
    };
};

class SyncStatus {
public:
    enum class Kind { idle, unavailable, syncing };

    /// No mirroring running; `lastSync` is the end of the last finished one.
    static SyncStatus idle(std::optional<Date> lastSync = std::nullopt);
    static SyncStatus unavailable(SyncUnavailability reason);
    static SyncStatus syncing();

    Kind kind() const { return m_kind; }
    std::optional<Date> lastSync() const { return m_lastSync; }
    std::optional<SyncUnavailability> reason() const { return m_reason; }

    /// False only while unavailable.
    bool isActive() const { return m_kind != Kind::unavailable; }

    /// "Synced", "Synced 5 min. ago", "Syncing…", or the reason's shown text.
    std::string summary(const ClockSource& clock) const;
    std::string summary(Date now) const;

    /// `date` relative to `now` in English with short units, as "5 min. ago"
    /// or "in 2 hr.": the largest unit that fits once, counted down to whole
    /// units (seconds, minutes, hours, days, weeks, calendar months, years).
    /// The same text in every locale.
    static std::string relativeTime(Date date, Date now);

    friend bool operator==(const SyncStatus&, const SyncStatus&) = default;

private:
    SyncStatus(Kind kind, std::optional<Date> lastSync, std::optional<SyncUnavailability> reason)
        : m_kind(kind), m_lastSync(lastSync), m_reason(reason)
    {
    }

    Kind m_kind = Kind::idle;
    std::optional<Date> m_lastSync;
    std::optional<SyncUnavailability> m_reason;
};
