#pragma once
// Answers a developer's question: can this computer reach the user's private
// cloud database in the app's container right now? It asks for the account
// status and, when an account is available, writes a small "VudeProbe"
// record, reads it back and deletes it. Nothing else is changed.

#include "Platform/Cloud/CloudDatabase.h"
#include "VudeKit/ClockSource.h"

#include <functional>
#include <memory>
#include <string>

class CloudKitProbe {
public:
    struct Result {
        std::string accountStatus;
        bool roundTripSucceeded = false;
        std::string detail;

        /// "✅ CloudKit reachable (account: available)", or
        /// "❌ CloudKit unreachable — " and the detail.
        std::string summary() const;
        friend bool operator==(const Result&, const Result&) = default;
    };

    static constexpr const char* kRecordType = "VudeProbe";

    /// `database` is the container's cloud database (none: the account status
    /// cannot be determined); `clock` stamps the record, the system's when none.
    CloudKitProbe(std::string containerID, std::shared_ptr<CloudDatabase> database, const ClockSource* clock = nullptr);

    const std::string& containerID() const { return m_containerID; }

    /// Runs the probe; every failure becomes a result. `done` runs on the
    /// main thread, possibly before this returns.
    void run(std::function<void(Result)> done) const;

    /// The text of an account status's raw value; "unknown" for any other.
    static std::string accountStatusText(int rawStatus);

private:
    Result roundTrip() const;

    std::string m_containerID;
    std::shared_ptr<CloudDatabase> m_database;
    const ClockSource* m_clock;
    SystemClock m_systemClock;
};
