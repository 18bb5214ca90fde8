#pragma once
// What one installation has written to the cloud: the current version of
// each record it wrote last (deletion marks included), a revision that grows
// with every change, and how far it has applied each other install's writes.
// The in-memory double keeps them in memory. The folder backend keeps each
// install's state as a manifest (CloudManifest: its revision, what it
// applied, its chunks) and its records in chunks (CloudChunk), a fixed share
// of the record names each, so a change rewrites one chunk and the manifest;
// installs of the first format wrote the whole state as one file, which is
// still read. Pure values and rules, no I/O.
//
// Disk use stays bounded: a record is kept in one state only while that
// state's version is the newest anywhere (a superseded one is dropped at the
// next write), and a deletion mark is dropped once no other state holds the
// record and every install that was ever read has applied it, or once it is
// older than the mark lifetime.

#include "Platform/Cloud/CloudDatabase.h"

#include <map>
#include <optional>
#include <set>
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
    /// The same for the records named in `names` only; the others stay.
    void compact(const std::vector<const CloudInstallState*>& others, bool othersComplete, Date now,
                 Duration markLifetime, const std::set<std::string, std::less<>>& names);

    // --- The chunked form -----------------------------------------------------

    /// The chunk a record is written to: one of kChunkCount, by its name.
    static constexpr std::size_t kChunkCount = 32;
    static std::size_t chunkOf(std::string_view recordName);
    /// The chunk's name ("00" to "1f"), which names its file.
    static std::string chunkName(std::size_t chunk);
    static std::optional<std::size_t> chunkNamed(std::string_view name);
};

/// The first file of an install that writes chunks, "<install id>.json": its
/// revision, how far it applied the other installs' writes, and the revision
/// at which each of its chunks last changed. A chunk it does not list holds
/// nothing; a chunk it lists that is missing or older has not arrived yet.
struct CloudManifest {
    /// Distinct from the first format's, which installs of that version
    /// refuse to read (they trace the file as one of another format).
    static constexpr std::string_view kFormat = "vude-cloud-2";

    std::string installID;
    std::int64_t revision = 0;
    std::map<std::string, std::int64_t> seen;
    /// Chunk number → the state's revision when it last changed.
    std::map<std::size_t, std::int64_t> chunks;

    friend bool operator==(const CloudManifest&, const CloudManifest&) = default;

    std::string encode() const;
    /// Fails for anything malformed, truncated, nested too deep or of another
    /// format (the first format included: see isFirstFormat()).
    static Expected<CloudManifest, std::string> decode(std::string_view text);
};

/// One chunk of an install's records: "<install id>/<chunk name>.json".
struct CloudChunk {
    static constexpr std::string_view kFormat = "vude-cloud-2-chunk";

    std::string installID;
    std::size_t chunk = 0;
    /// The state's revision when this chunk was written.
    std::int64_t revision = 0;
    std::map<std::string, CloudInstallState::Entry, std::less<>> records;

    friend bool operator==(const CloudChunk&, const CloudChunk&) = default;

    /// The chunk's records taken from `state`, those whose names fall in it.
    static CloudChunk of(const CloudInstallState& state, std::size_t chunk,
                         const std::set<std::string, std::less<>>& names);
    std::string encode() const;
    /// Fails as a whole like a state; refuses more than kMaxRecords records.
    static Expected<CloudChunk, std::string> decode(std::string_view text);
};

namespace CloudFormats {

/// Whether `text` names the first format (a whole state in one file).
bool isFirstFormat(std::string_view text);

} // namespace CloudFormats

namespace CloudMerge {

/// The newest version of every record across `states`, sorted by name.
std::vector<CloudRecord> newest(const std::vector<const CloudInstallState*>& states);

} // namespace CloudMerge
