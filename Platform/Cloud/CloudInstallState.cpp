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

} // namespace

std::string CloudInstallState::encode() const
{
    json seenObject = json::object();
    for (const auto& [install, applied] : seen)
        seenObject[install] = applied;
    json list = json::array();
    for (const auto& [name, entry] : records) {
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
        list.push_back(std::move(object));
    }
    const json document = {{"format", kFormat},
                           {"install", installID},
                           {"revision", revision},
                           {"seen", std::move(seenObject)},
                           {"records", std::move(list)}};
    // Text that is not UTF-8 cannot be written as JSON; its bad bytes become
    // U+FFFD rather than failing the whole write.
    return document.dump(-1, ' ', false, json::error_handler_t::replace);
}

Expected<CloudInstallState, std::string> CloudInstallState::decode(std::string_view text)
{
    // Checked before parsing: the parse would go through, but copying or
    // writing the document again is recursive.
    if (nestsDeeperThan(text, kMaxNesting))
        return unexpected("nested deeper than " + std::to_string(kMaxNesting) + " levels");
    const json document = json::parse(text, nullptr, false);
    if (document.is_discarded())
        return unexpected(std::string("not a complete JSON text"));
    if (!document.is_object())
        return unexpected(std::string("not a JSON object"));
    const auto format = member<std::string>(document, "format");
    if (!format || *format != kFormat)
        return unexpected(std::string("not a cloud state file of this format"));

    CloudInstallState state;
    auto install = member<std::string>(document, "install");
    if (!install)
        return unexpected(install.error());
    if (install->empty())
        return unexpected(std::string("empty install id"));
    state.installID = *install;
    auto revision = member<std::int64_t>(document, "revision");
    if (!revision)
        return unexpected(revision.error());
    state.revision = *revision;

    if (const auto seen = document.find("seen"); seen != document.end() && !seen->is_null()) {
        if (!seen->is_object())
            return unexpected(std::string("\"seen\" is not an object"));
        for (const auto& [other, applied] : seen->items()) {
            if (!applied.is_number_integer())
                return unexpected("\"seen\" of " + other + " is not an integer");
            state.seen[other] = applied.get<std::int64_t>();
        }
    }
    const auto records = document.find("records");
    if (records == document.end() || !records->is_array())
        return unexpected(std::string("\"records\" is not a list"));
    if (records->size() > kMaxRecords)
        return unexpected("more than " + std::to_string(kMaxRecords) + " records");
    for (const auto& object : *records) {
        auto entry = decodeEntry(object, state.installID);
        if (!entry)
            return unexpected(entry.error());
        auto [position, inserted] = state.records.try_emplace(entry->record.recordName, *entry);
        if (!inserted && position->second.record.version() < entry->record.version())
            position->second = std::move(*entry);
    }
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
    // The installs a deletion mark must reach: every one ever read, and every
    // one visible now.
    std::map<std::string, const CloudInstallState*> audience;
    for (const auto& [install, applied] : seen)
        audience.emplace(install, nullptr);
    for (const auto* other : others)
        if (other && other->installID != installID)
            audience[other->installID] = other;

    for (auto position = records.begin(); position != records.end();) {
        const auto& record = position->second.record;
        const auto elsewhere = newestElsewhere.find(position->first);
        if (elsewhere != newestElsewhere.end()) {
            // A newer version elsewhere replaces this one for everybody.
            if (record.version() < elsewhere->second->version())
                position = records.erase(position);
            else
                ++position;
            continue;
        }
        if (!record.deleted) {
            ++position;
            continue;
        }
        const bool expired = olderThan(record.modifiedAt, now, markLifetime);
        bool everyoneApplied = othersComplete;
        for (const auto& [install, state] : audience) {
            if (!everyoneApplied)
                break;
            if (!state) {
                everyoneApplied = false;
                break;
            }
            const auto applied = state->seen.find(installID);
            everyoneApplied = applied != state->seen.end() && applied->second >= position->second.revision;
        }
        if (expired || everyoneApplied)
            position = records.erase(position);
        else
            ++position;
    }
}

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
