#include "VudeServices/CloudKitProbe.h"

#include "VudeKit/LinuxTexts.h"
#include "VudeKit/Numbers.h"
#include "VudeKit/Uuid.h"

namespace {

std::string describe(const CloudError& error)
{
    return std::string(LinuxTexts::syncProbeError.shown) + formatInteger(error.code) + ": " + error.description;
}

} // namespace

std::string CloudKitProbe::Result::summary() const
{
    if (roundTripSucceeded)
        return std::string(LinuxTexts::syncProbeReachable.shown) + accountStatus + ")";
    return std::string(LinuxTexts::syncProbeUnreachable.shown) + detail;
}

CloudKitProbe::CloudKitProbe(std::string containerID, std::shared_ptr<CloudDatabase> database,
                             const ClockSource* clock)
    : m_containerID(std::move(containerID)), m_database(std::move(database)), m_clock(clock)
{
}

std::string CloudKitProbe::accountStatusText(int rawStatus)
{
    switch (rawStatus) {
    case static_cast<int>(CloudAccountStatus::couldNotDetermine):
        return "could not determine";
    case static_cast<int>(CloudAccountStatus::available):
        return "available";
    case static_cast<int>(CloudAccountStatus::restricted):
        return "restricted";
    case static_cast<int>(CloudAccountStatus::noAccount):
        return "no account";
    case static_cast<int>(CloudAccountStatus::temporarilyUnavailable):
        return "temporarily unavailable";
    default:
        return "unknown";
    }
}

void CloudKitProbe::run(std::function<void(Result)> done) const
{
    const auto finish = [done](Result result) {
        if (done)
            done(std::move(result));
    };
    if (!m_database) {
        const auto status = accountStatusText(static_cast<int>(CloudAccountStatus::couldNotDetermine));
        finish({status, false, std::string(LinuxTexts::syncProbeAccountStatus.shown) + status});
        return;
    }
    // A copy: the answer may come after this probe is gone.
    m_database->accountStatus([probe = *this, finish](CloudDatabase::AccountStatusResult answer) {
        if (!answer) {
            finish({"error", false, "accountStatus failed: " + answer.error().description});
            return;
        }
        if (*answer != CloudAccountStatus::available) {
            const auto status = accountStatusText(static_cast<int>(*answer));
            finish({status, false, std::string(LinuxTexts::syncProbeAccountStatus.shown) + status});
            return;
        }
        finish(probe.roundTrip());
    });
}

CloudKitProbe::Result CloudKitProbe::roundTrip() const
{
    const ClockSource& clock = m_clock ? *m_clock : m_systemClock;
    const Date now = clock.now();
    CloudRecord record;
    record.recordName = "vude-probe-" + Uuid::random().toString();
    record.recordType = kRecordType;
    record.fields = {{"stamp", (now - kReferenceDate).count()}};
    record.modifiedAt = now;

    if (auto saved = m_database->save(record); !saved)
        return {"available", false, describe(saved.error())};
    if (auto fetched = m_database->fetch(record.recordName); !fetched)
        return {"available", false, describe(fetched.error())};
    // The record is short-lived either way; a failed delete does not make the
    // round trip fail.
    (void)m_database->remove(record.recordName, kRecordType, clock.now());
    return {"available", true, "write + read + delete succeeded"};
}
