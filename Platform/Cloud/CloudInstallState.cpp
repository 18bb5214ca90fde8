#include "Platform/Cloud/CloudInstallState.h"

#include <algorithm>
#include <unordered_map>

using nlohmann::json;

namespace {

std::int64_t microsecondsSinceReference(Date date)
{
    return (date - kReferenceDate).count();
}

Date dateFromMicroseconds(std::int64_t microseconds)
{
    // Saturating: a damaged file must not overflow the clock.
    return saturatingAdd(kReferenceDate, Duration(microseconds));
}

/// Whether more than `lifetime` passed from `date` to `now`, exact even for
/// dates at the ends of the range.
bool olderThan(Date date, Date now, Duration lifetime)
{
    std::int64_t elapsed = 0;
    if (__builtin_sub_overflow(now.time_since_epoch().count(), date.time_since_epoch().count(), &elapsed))
        return now > date;
    return Duration(elapsed) > lifetime;
}

/// Whether `text` opens more than `limit` arrays and objects one inside the
/// other, brackets in strings aside. A plain scan, so that it answers for
/// any depth without a recursive walk; it need not validate the text, the
/// parser does that next.
bool nestsDeeperThan(std::string_view text, std::size_t limit)
{
    std::size_t depth = 0;
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > limit)
                return true;
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return false;
}

template <typename Value>
Expected<Value, std::string> member(const json& object, const char* key, bool required = true,
                                    Value fallback = Value())
{
    const auto found = object.find(key);
    if (found == object.end() || found->is_null()) {
        if (required)
            return unexpected(std::string("missing \"") + key + "\"");
        return fallback;
    }
    if constexpr (std::is_same_v<Value, std::string>) {
        if (!found->is_string())
            return unexpected(std::string("\"") + key + "\" is not a string");
        return found->get<std::string>();
    } else if constexpr (std::is_same_v<Value, bool>) {
        if (!found->is_boolean())
            return unexpected(std::string("\"") + key + "\" is not a Boolean");
        return found->get<bool>();
    } else {
        if (!found->is_number_integer())
            return unexpected(std::string("\"") + key + "\" is not an integer");
        if (found->is_number_unsigned() && found->get<std::uint64_t>() > std::uint64_t(INT64_MAX))
            return unexpected(std::string("\"") + key + "\" is out of range");
        return found->get<std::int64_t>();
    }
}

Expected<CloudInstallState::Entry, std::string> decodeEntry(const json& object, const std::string& writer)
{
    if (!object.is_object())
        return unexpected(std::string("a record is not an object"));
    CloudInstallState::Entry entry;
    auto name = member<std::string>(object, "name");
    if (!name)
        return unexpected(name.error());
    if (name->empty())
        return unexpected(std::string("a record has an empty name"));
    auto type = member<std::string>(object, "type");
    auto modified = member<std::int64_t>(object, "modified");
    auto revision = member<std::int64_t>(object, "revision");
    auto deleted = member<bool>(object, "deleted", false, false);
    for (const std::string* error : {type ? nullptr : &type.error(), modified ? nullptr : &modified.error(),
                                     revision ? nullptr : &revision.error(), deleted ? nullptr : &deleted.error()})
        if (error)
            return unexpected("record " + *name + ": " + *error);
    entry.record.recordName = *name;
    entry.record.recordType = *type;
    entry.record.modifiedAt = dateFromMicroseconds(*modified);
    entry.record.writer = writer;
    entry.record.deleted = *deleted;
    entry.revision = *revision;
    if (const auto fields = object.find("fields"); fields != object.end() && !fields->is_null()) {
        if (!fields->is_object())
            return unexpected("record " + *name + ": \"fields\" is not an object");
        entry.record.fields = *fields;
    }
    if (const auto parent = object.find("parent"); parent != object.end() && !parent->is_null()) {
        if (!parent->is_string())
            return unexpected("record " + *name + ": \"parent\" is not a string");
        entry.record.parent = parent->get<std::string>();
    }
    return entry;
}

json encodeEntry(const std::string& name, const CloudInstallState::Entry& entry)
{
    json object = {{"name", name},
                   {"type", entry.record.recordType},
                   {"modified", microsecondsSinceReference(entry.record.modifiedAt)},
                   {"revision", entry.revision}};
    if (entry.record.deleted) {
        object["deleted"] = true;
    } else {
        object["fields"] = entry.record.fields;
        if (entry.record.parent)
            object["parent"] = *entry.record.parent;
    }
    return object;
}

std::string dumpDocument(const json& document)
{
    // Text that is not UTF-8 cannot be written as JSON; its bad bytes become
    // U+FFFD rather than failing the whole write.
    return document.dump(-1, ' ', false, json::error_handler_t::replace);
}

/// Parses a file of `format` from another computer: bounded in depth, a
/// whole JSON object, of that format exactly.
Expected<json, std::string> parseDocument(std::string_view text, std::string_view format)
{
    // Checked before parsing: the parse would go through, but copying or
    // writing the document again is recursive.
    if (nestsDeeperThan(text, CloudInstallState::kMaxNesting))
        return unexpected("nested deeper than " + std::to_string(CloudInstallState::kMaxNesting) + " levels");
    json document = json::parse(text, nullptr, false);
    if (document.is_discarded())
        return unexpected(std::string("not a complete JSON text"));
    if (!document.is_object())
        return unexpected(std::string("not a JSON object"));
    const auto found = member<std::string>(document, "format");
    if (!found || *found != format)
        return unexpected(std::string("not a cloud state file of this format"));
    return document;
}

Expected<std::string, std::string> installOf(const json& document)
{
    auto install = member<std::string>(document, "install");
    if (!install)
        return unexpected(install.error());
    if (install->empty())
        return unexpected(std::string("empty install id"));
    return *install;
}

Expected<void, std::string> decodeSeen(const json& document, std::map<std::string, std::int64_t>& seen)
{
    const auto found = document.find("seen");
    if (found == document.end() || found->is_null())
        return {};
    if (!found->is_object())
        return unexpected(std::string("\"seen\" is not an object"));
    for (const auto& [other, applied] : found->items()) {
        if (!applied.is_number_integer())
            return unexpected("\"seen\" of " + other + " is not an integer");
        seen[other] = applied.get<std::int64_t>();
    }
    return {};
}

/// Reads a list of records written by `writer`; of one name, the newest stays.
Expected<void, std::string> decodeRecords(const json& document, const std::string& writer,
                                          std::map<std::string, CloudInstallState::Entry, std::less<>>& into)
{
    const auto records = document.find("records");
    if (records == document.end() || !records->is_array())
        return unexpected(std::string("\"records\" is not a list"));
    if (records->size() > CloudInstallState::kMaxRecords)
        return unexpected("more than " + std::to_string(CloudInstallState::kMaxRecords) + " records");
    for (const auto& object : *records) {
        auto entry = decodeEntry(object, writer);
        if (!entry)
            return unexpected(entry.error());
        auto [position, inserted] = into.try_emplace(entry->record.recordName, *entry);
        if (!inserted && position->second.record.version() < entry->record.version())
            position->second = std::move(*entry);
    }
    return {};
}

json seenObject(const std::map<std::string, std::int64_t>& seen)
{
    json object = json::object();
    for (const auto& [install, applied] : seen)
        object[install] = applied;
    return object;
}

} // namespace

std::string CloudInstallState::encode() const
{
    json list = json::array();
    for (const auto& [name, entry] : records)
        list.push_back(encodeEntry(name, entry));
    const json document = {{"format", kFormat},
                           {"install", installID},
                           {"revision", revision},
                           {"seen", seenObject(seen)},
                           {"records", std::move(list)}};
    return dumpDocument(document);
}

Expected<CloudInstallState, std::string> CloudInstallState::decode(std::string_view text)
{
    auto document = parseDocument(text, kFormat);
    if (!document)
        return unexpected(document.error());
    CloudInstallState state;
    auto install = installOf(*document);
    if (!install)
        return unexpected(install.error());
    state.installID = *install;
    auto revision = member<std::int64_t>(*document, "revision");
    if (!revision)
        return unexpected(revision.error());
    state.revision = *revision;
    if (auto seen = decodeSeen(*document, state.seen); !seen)
        return unexpected(seen.error());
    if (auto records = decodeRecords(*document, state.installID, state.records); !records)
        return unexpected(records.error());
    return state;
}

void CloudInstallState::apply(const std::vector<CloudRecord>& changes, Date now)
{
    if (changes.empty())
        return;
    revision = std::max(revision + 1, microsecondsSinceReference(now));
    for (const auto& change : changes) {
        Entry entry{change, revision};
        entry.record.writer = installID;
        if (entry.record.deleted) {
            entry.record.fields = json::object();
            entry.record.parent.reset();
        }
        records[change.recordName] = std::move(entry);
    }
}

namespace {

/// The installs a deletion mark of `self` must reach: every one ever read,
/// and every one visible now (none: not visible).
std::map<std::string, const CloudInstallState*> audienceOf(const CloudInstallState& self,
                                                           const std::vector<const CloudInstallState*>& others)
{
    std::map<std::string, const CloudInstallState*> audience;
    for (const auto& [install, applied] : self.seen)
        audience.emplace(install, nullptr);
    for (const auto* other : others)
        if (other && other->installID != self.installID)
            audience[other->installID] = other;
    return audience;
}

/// Whether `self` keeps its version of a record: not when a newer one is
/// held elsewhere (`elsewhere`, the newest other), nor, for a deletion mark
/// nobody else holds, once everyone applied it or its lifetime ended.
bool keeps(const CloudInstallState& self, const CloudInstallState::Entry& entry, const CloudRecord* elsewhere,
           const std::map<std::string, const CloudInstallState*>& audience, bool othersComplete, Date now,
           Duration markLifetime)
{
    const auto& record = entry.record;
    if (elsewhere)
        return !(record.version() < elsewhere->version());
    if (!record.deleted)
        return true;
    if (olderThan(record.modifiedAt, now, markLifetime))
        return false;
    if (!othersComplete)
        return true;
    for (const auto& [install, state] : audience) {
        if (!state)
            return true;
        const auto applied = state->seen.find(self.installID);
        if (applied == state->seen.end() || applied->second < entry.revision)
            return true;
    }
    return false;
}

} // namespace

void CloudInstallState::compact(const std::vector<const CloudInstallState*>& others, bool othersComplete, Date now,
                                Duration markLifetime)
{
    std::unordered_map<std::string_view, const CloudRecord*> newestElsewhere;
    for (const auto* other : others) {
        if (!other || other->installID == installID)
            continue;
        for (const auto& [name, entry] : other->records) {
            auto& slot = newestElsewhere[name];
            if (!slot || slot->version() < entry.record.version())
                slot = &entry.record;
        }
    }
    const auto audience = audienceOf(*this, others);
    for (auto position = records.begin(); position != records.end();) {
        const auto elsewhere = newestElsewhere.find(position->first);
        const CloudRecord* newest = elsewhere == newestElsewhere.end() ? nullptr : elsewhere->second;
        if (keeps(*this, position->second, newest, audience, othersComplete, now, markLifetime))
            ++position;
        else
            position = records.erase(position);
    }
}

void CloudInstallState::compact(const std::vector<const CloudInstallState*>& others, bool othersComplete, Date now,
                                Duration markLifetime, const std::set<std::string, std::less<>>& names)
{
    const auto audience = audienceOf(*this, others);
    for (const auto& name : names) {
        const auto position = records.find(name);
        if (position == records.end())
            continue;
        const CloudRecord* newest = nullptr;
        for (const auto* other : others) {
            if (!other || other->installID == installID)
                continue;
            const auto found = other->records.find(name);
            if (found != other->records.end() && (!newest || newest->version() < found->second.record.version()))
                newest = &found->second.record;
        }
        if (!keeps(*this, position->second, newest, audience, othersComplete, now, markLifetime))
            records.erase(position);
    }
}

std::size_t CloudInstallState::chunkOf(std::string_view recordName)
{
    // FNV-1a: stable across builds and machines, unlike std::hash.
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (const unsigned char byte : recordName) {
        hash ^= byte;
        hash *= 0x100000001b3ull;
    }
    return static_cast<std::size_t>(hash % kChunkCount);
}

std::string CloudInstallState::chunkName(std::size_t chunk)
{
    static constexpr char digits[] = "0123456789abcdef";
    return {digits[(chunk / 16) % 16], digits[chunk % 16]};
}

std::optional<std::size_t> CloudInstallState::chunkNamed(std::string_view name)
{
    for (std::size_t chunk = 0; chunk < kChunkCount; ++chunk)
        if (chunkName(chunk) == name)
            return chunk;
    return std::nullopt;
}

std::string CloudManifest::encode() const
{
    json list = json::object();
    for (const auto& [chunk, changed] : chunks)
        list[CloudInstallState::chunkName(chunk)] = changed;
    const json document = {{"format", kFormat},
                           {"install", installID},
                           {"revision", revision},
                           {"seen", seenObject(seen)},
                           {"chunks", std::move(list)}};
    return dumpDocument(document);
}

Expected<CloudManifest, std::string> CloudManifest::decode(std::string_view text)
{
    auto document = parseDocument(text, kFormat);
    if (!document)
        return unexpected(document.error());
    CloudManifest manifest;
    auto install = installOf(*document);
    if (!install)
        return unexpected(install.error());
    manifest.installID = *install;
    auto revision = member<std::int64_t>(*document, "revision");
    if (!revision)
        return unexpected(revision.error());
    manifest.revision = *revision;
    if (auto seen = decodeSeen(*document, manifest.seen); !seen)
        return unexpected(seen.error());
    const auto chunks = document->find("chunks");
    if (chunks == document->end() || !chunks->is_object())
        return unexpected(std::string("\"chunks\" is not an object"));
    for (const auto& [name, changed] : chunks->items()) {
        const auto chunk = CloudInstallState::chunkNamed(name);
        if (!chunk)
            return unexpected("no chunk is named \"" + name + "\"");
        if (!changed.is_number_integer())
            return unexpected("the revision of chunk " + name + " is not an integer");
        manifest.chunks[*chunk] = changed.get<std::int64_t>();
    }
    return manifest;
}

CloudChunk CloudChunk::of(const CloudInstallState& state, std::size_t chunk,
                          const std::set<std::string, std::less<>>& names)
{
    CloudChunk result;
    result.installID = state.installID;
    result.chunk = chunk;
    result.revision = state.revision;
    for (const auto& name : names)
        if (const auto found = state.records.find(name); found != state.records.end())
            result.records.emplace(name, found->second);
    return result;
}

std::string CloudChunk::encode() const
{
    json list = json::array();
    for (const auto& [name, entry] : records)
        list.push_back(encodeEntry(name, entry));
    const json document = {{"format", kFormat},
                           {"install", installID},
                           {"chunk", CloudInstallState::chunkName(chunk)},
                           {"revision", revision},
                           {"records", std::move(list)}};
    return dumpDocument(document);
}

Expected<CloudChunk, std::string> CloudChunk::decode(std::string_view text)
{
    auto document = parseDocument(text, kFormat);
    if (!document)
        return unexpected(document.error());
    CloudChunk result;
    auto install = installOf(*document);
    if (!install)
        return unexpected(install.error());
    result.installID = *install;
    auto name = member<std::string>(*document, "chunk");
    if (!name)
        return unexpected(name.error());
    const auto chunk = CloudInstallState::chunkNamed(*name);
    if (!chunk)
        return unexpected("no chunk is named \"" + *name + "\"");
    result.chunk = *chunk;
    auto revision = member<std::int64_t>(*document, "revision");
    if (!revision)
        return unexpected(revision.error());
    result.revision = *revision;
    if (auto records = decodeRecords(*document, result.installID, result.records); !records)
        return unexpected(records.error());
    return result;
}

namespace CloudFormats {

bool isFirstFormat(std::string_view text)
{
    return parseDocument(text, CloudInstallState::kFormat).has_value();
}

} // namespace CloudFormats

namespace CloudMerge {

std::vector<CloudRecord> newest(const std::vector<const CloudInstallState*>& states)
{
    std::map<std::string_view, const CloudRecord*> winners;
    for (const auto* state : states) {
        if (!state)
            continue;
        for (const auto& [name, entry] : state->records) {
            auto& slot = winners[name];
            if (!slot || slot->version() < entry.record.version())
                slot = &entry.record;
        }
    }
    std::vector<CloudRecord> result;
    result.reserve(winners.size());
    for (const auto& [name, record] : winners)
        result.push_back(*record);
    return result;
}

} // namespace CloudMerge
