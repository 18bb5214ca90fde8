#pragma once
// What one installation has written to the cloud: the current version of
// each record it wrote last (deletion marks included), a revision that grows
// with every change, and how far it has applied each other install's writes.
// The folder backend keeps one such state per install as one file; the
// in-memory double keeps them in memory. Pure values and rules, no I/O.
//
// Disk use stays bounded: a record is kept in one state only while that
// state's version is the newest anywhere (a superseded one is dropped at the
// next write), and a deletion mark is dropped once no other state holds the
// record and every install that was ever read has applied it, or once it is
// older than the mark lifetime.

#include "Platform/Cloud/CloudDatabase.h"

#include <map>
#include <string>
#include <string_view>
#include <vector>

struct CloudInstallState {
    /// The first member of every state file; a file without it is foreign.
    static constexpr std::string_view kFormat = "vude-cloud-1";
    /// Bounds a state read from another computer keeps. Ours nest four
    /// levels deep (the fields hold plain values) and hold one record per
    /// row of the store; far beyond either, a file is damaged or hostile,
    /// and a deep one would run any recursive walk of it off the stack.
    static constexpr std::size_t kMaxNesting = 64;
    static constexpr std::size_t kMaxRecords = 20'000;

    struct Entry {
        CloudRecord record;
        /// The state's revision when this version was written.
        std::int64_t revision = 0;
        friend bool operator==(const Entry&, const Entry&) = default;
    };

    CloudInstallState() = default;
    explicit CloudInstallState(std::string installID) : installID(std::move(installID)) {}

    std::string installID;
    std::int64_t revision = 0;
    /// Other install id → the revision of theirs this install has applied.
    std::map<std::string, std::int64_t> seen;
    std::map<std::string, Entry, std::less<>> records;

    friend bool operator==(const CloudInstallState&, const CloudInstallState&) = default;

    /// The state as one JSON text (records sorted by name).
    std::string encode() const;
    /// Reads a state back; anything malformed, truncated or of another format
    /// fails as a whole.
    static Expected<CloudInstallState, std::string> decode(std::string_view text);

    /// Takes `changes` as this install's writes at a new revision, which is
    /// never below the previous one nor below `now` in microseconds (so a
    /// state rebuilt from nothing still counts up past what others applied).
    void apply(const std::vector<CloudRecord>& changes, Date now);

    /// Drops this state's versions that another state supersedes, and the
    /// deletion marks nobody needs any more (see above). `othersComplete` is
    /// false when some other state could not be read: then no mark is dropped
    /// before its lifetime ends.
    void compact(const std::vector<const CloudInstallState*>& others, bool othersComplete, Date now,
                 Duration markLifetime);
};

namespace CloudMerge {

/// The newest version of every record across `states`, sorted by name.
std::vector<CloudRecord> newest(const std::vector<const CloudInstallState*>& states);

} // namespace CloudMerge
