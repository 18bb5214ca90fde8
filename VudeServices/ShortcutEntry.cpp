#include "VudeServices/ShortcutEntry.h"

#include <nlohmann/json.hpp>

namespace {

using json = nlohmann::json;

// Absent or null: none. Another type: the element is invalid.
bool readOptional(const json& object, const char* key, std::optional<std::string>& value)
{
    const auto found = object.find(key);
    if (found == object.end() || found->is_null())
        return true;
    if (!found->is_string())
        return false;
    value = found->get<std::string>();
    return true;
}

std::optional<ShortcutEntry> decodeEntry(const json& object)
{
    if (!object.is_object())
        return std::nullopt;
    const auto id = object.find("id");
    const auto name = object.find("shortcutName");
    const auto symbol = object.find("symbol");
    if (id == object.end() || name == object.end() || symbol == object.end() || !id->is_string()
        || !name->is_string() || !symbol->is_string())
        return std::nullopt;
    const auto uuid = Uuid::parse(id->get<std::string>());
    if (!uuid)
        return std::nullopt;
    ShortcutEntry entry;
    entry.id = *uuid;
    entry.shortcutName = name->get<std::string>();
    entry.symbol = symbol->get<std::string>();
    if (!readOptional(object, "customName", entry.customName) || !readOptional(object, "textInput", entry.textInput))
        return std::nullopt;
    return entry;
}

} // namespace

std::string encodeShortcutEntries(const std::vector<ShortcutEntry>& entries)
{
    nlohmann::ordered_json array = nlohmann::ordered_json::array();
    for (const auto& entry : entries) {
        nlohmann::ordered_json object;
        object["id"] = entry.id.toString();
        object["shortcutName"] = entry.shortcutName;
        if (entry.customName)
            object["customName"] = *entry.customName;
        object["symbol"] = entry.symbol;
        if (entry.textInput)
            object["textInput"] = *entry.textInput;
        array.push_back(std::move(object));
    }
    // Text that is not UTF-8 is stored with replacement characters rather
    // than losing the whole list.
    return array.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::optional<std::vector<ShortcutEntry>> decodeShortcutEntries(std::string_view text)
{
    const auto array = json::parse(text, nullptr, false);
    if (!array.is_array())
        return std::nullopt;
    std::vector<ShortcutEntry> entries;
    entries.reserve(array.size());
    for (const auto& element : array) {
        auto entry = decodeEntry(element);
        if (!entry)
            return std::nullopt;
        entries.push_back(std::move(*entry));
    }
    return entries;
}
