#pragma once
// The user's private cloud database, as the synced store's mirror and the
// probe see it: an account status, and records that each installation of the
// app writes under its own name. A record carries its name, its type (the
// entity), its fields, the record it belongs to (a note revision's note), the
// time it was last written and whether it is a deletion mark. Every install
// sees the newest version of each record; equal times are ordered by the
// writing install's id, so every install agrees on which version is newest.
//
// FolderCloudDatabase keeps the records in a folder that a file-sync tool
// replicates between the user's computers; InMemoryCloudDatabase is the
// double. The account status and watching are used from the main thread;
// records are read and written from one thread at a time (the mirror's
// worker), which may be another.

#include "VudeKit/Date.h"
#include "VudeKit/Expected.h"

#include <nlohmann/json.hpp>

#include <compare>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

/// The answers an account-status query can give, with the service's numbers.
enum class CloudAccountStatus {
    couldNotDetermine = 0,
    available = 1,
    restricted = 2,
    noAccount = 3,
    temporarilyUnavailable = 4,
};

/// A failed cloud operation: the service's error code and a description for
/// people.
struct CloudError {
    static constexpr int internalError = 1;
    static constexpr int networkUnavailable = 3;
    static constexpr int notAuthenticated = 9;
    static constexpr int permissionFailure = 10;
    static constexpr int unknownItem = 11;
    static constexpr int quotaExceeded = 25;

    int code = internalError;
    std::string description;

    friend bool operator==(const CloudError&, const CloudError&) = default;
};

/// Which write of a record is newer: the later time, and at one time the
/// greater install id.
struct CloudRecordVersion {
    Date modifiedAt = kReferenceDate;
    std::string writer;

    friend bool operator==(const CloudRecordVersion&, const CloudRecordVersion&) = default;
    friend std::strong_ordering operator<=>(const CloudRecordVersion& a, const CloudRecordVersion& b)
    {
        if (const auto order = a.modifiedAt <=> b.modifiedAt; order != 0)
            return order;
        return a.writer <=> b.writer;
    }
};

struct CloudRecord {
    std::string recordName;
    std::string recordType;
    /// A JSON object of plain values (strings, numbers, Booleans, null).
    nlohmann::json fields = nlohmann::json::object();
    /// The name of the record this one belongs to.
    std::optional<std::string> parent;
    /// When the writer wrote this version; set by whoever makes the change.
    Date modifiedAt = kReferenceDate;
    /// The install that wrote this version; set by the database.
    std::string writer;
    /// A deletion mark (tombstone): the record was deleted at `modifiedAt`.
    bool deleted = false;

    CloudRecordVersion version() const { return {modifiedAt, writer}; }
    friend bool operator==(const CloudRecord&, const CloudRecord&) = default;
};

/// The newest version of every record the database could read, deletion
/// marks included, and how far each install's writes were read (handed back
/// through acknowledge() once they are applied).
struct CloudSnapshot {
    std::vector<CloudRecord> records;
    std::map<std::string, std::int64_t> revisions;
};

class CloudDatabase {
public:
    /// Posted on NotificationCenter::defaultCenter() when the account status
    /// may have changed; the user info holds "containerID".
    static constexpr const char* accountChangedNotification = "app.ruvudav.notch.cloudAccountChanged";

    using AccountStatusResult = Expected<CloudAccountStatus, CloudError>;
    using AccountStatusHandler = std::function<void(AccountStatusResult)>;

    virtual ~CloudDatabase() = default;

    virtual const std::string& containerID() const = 0;
    /// This installation's stable id; the writer of everything it writes.
    virtual const std::string& installID() const = 0;

    /// Asks for the account status; `done` runs on the main thread, possibly
    /// before this returns.
    virtual void accountStatus(AccountStatusHandler done) = 0;

    /// Writes versions of records (deletion marks included) as this install's,
    /// all or none. Each record keeps the `modifiedAt` its caller gave.
    virtual Expected<void, CloudError> modify(const std::vector<CloudRecord>& records) = 0;
    /// The newest version of every record, read afresh.
    virtual Expected<CloudSnapshot, CloudError> fetchAll() = 0;
    /// The newest version of every record that may have changed since the
    /// last fetchChanges() whose revisions were acknowledged; everything the
    /// first time. Records of a fetch not acknowledged come again.
    virtual Expected<CloudSnapshot, CloudError> fetchChanges() { return fetchAll(); }
    /// Marks the revisions of a fetchAll() as applied by this install, which
    /// lets their writers forget deletion marks everyone has seen.
    virtual void acknowledge(const std::map<std::string, std::int64_t>& revisions) = 0;
    /// The version of `recordName` this install holds as its own write, if any.
    virtual std::optional<CloudRecordVersion> ownVersion(const std::string& recordName) = 0;

    /// Whether another install may have written since the last fetchAll().
    /// Cheap: meant for polls.
    virtual bool hasUnseenChanges() = 0;

    /// Starts calling `onRemoteChange` (main thread) when another install
    /// writes, and posting accountChangedNotification when the account
    /// changes. Fails, with why, when changes can only be found by polling.
    virtual Expected<void, std::string> startWatching(std::function<void()> onRemoteChange) = 0;
    virtual void stopWatching() = 0;

    // Single-record conveniences over modify() and fetchAll().

    /// Writes one record as this install's.
    Expected<void, CloudError> save(const CloudRecord& record);
    /// The newest version of a record; unknownItem when there is none or it
    /// was deleted.
    Expected<CloudRecord, CloudError> fetch(const std::string& recordName);
    /// Writes a deletion mark for `recordName` at `at`.
    Expected<void, CloudError> remove(const std::string& recordName, const std::string& recordType, Date at);
};
