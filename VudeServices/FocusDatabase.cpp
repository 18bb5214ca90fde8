#include "VudeServices/FocusDatabase.h"

#include "Platform/Core/AtomicFile.h"

#include <nlohmann/json.hpp>

namespace {

using json = nlohmann::json;

// The files are small; anything far larger is not one of them.
constexpr std::size_t kMaxFileBytes = 16 * 1024 * 1024;

std::optional<json> readObject(const std::filesystem::path& path)
{
    // Never blocks: a FIFO or anything else but a regular file reads as nothing.
    const auto text = AtomicFile::read(path, kMaxFileBytes);
    if (!text)
        return std::nullopt;
    auto parsed = json::parse(*text, nullptr, /*allow_exceptions=*/false);
    if (parsed.is_discarded() || !parsed.is_object())
        return std::nullopt;
    return parsed;
}

/// `object[key]` when it is a non-empty list whose first element is an
/// object: that element.
const json* firstObjectIn(const json& object, const char* key)
{
    const auto list = object.find(key);
    if (list == object.end() || !list->is_array() || list->empty())
        return nullptr;
    // A list of objects: every element must be one.
    for (const auto& element : *list)
        if (!element.is_object())
            return nullptr;
    return &list->front();
}

const json* objectIn(const json& object, const std::string& key)
{
    const auto value = object.find(key);
    return value != object.end() && value->is_object() ? &*value : nullptr;
}

std::optional<std::string> textIn(const json& object, const char* key)
{
    const auto value = object.find(key);
    if (value == object.end() || !value->is_string())
        return std::nullopt;
    return value->get<std::string>();
}

} // namespace

FocusDatabase::FocusDatabase(std::filesystem::path home)
    : m_folder(std::move(home) / "Library" / "DoNotDisturb" / "DB")
{
}

std::filesystem::path FocusDatabase::assertionsFile() const
{
    return m_folder / "Assertions.json";
}

std::filesystem::path FocusDatabase::configurationsFile() const
{
    return m_folder / "ModeConfigurations.json";
}

bool FocusDatabase::isReadable() const
{
    return AtomicFile::read(assertionsFile(), kMaxFileBytes).has_value();
}

std::optional<FocusDatabase::Mode> FocusDatabase::activeMode() const
{
    const auto assertions = readObject(assertionsFile());
    if (!assertions)
        return std::nullopt;
    const json* data = firstObjectIn(*assertions, "data");
    if (!data)
        return std::nullopt;
    const json* record = firstObjectIn(*data, "storeAssertionRecords");
    if (!record)
        return std::nullopt;
    const json* details = objectIn(*record, "assertionDetails");
    if (!details)
        return std::nullopt;
    const auto identifier = textIn(*details, "assertionDetailsModeIdentifier");
    if (!identifier)
        return std::nullopt;

    const auto configurations = readObject(configurationsFile());
    if (!configurations)
        return std::nullopt;
    const json* configurationData = firstObjectIn(*configurations, "data");
    if (!configurationData)
        return std::nullopt;
    const json* modes = objectIn(*configurationData, "modeConfigurations");
    if (!modes)
        return std::nullopt;
    const json* configuration = objectIn(*modes, *identifier);
    if (!configuration)
        return std::nullopt;
    const json* mode = objectIn(*configuration, "mode");
    if (!mode)
        return std::nullopt;
    return Mode{textIn(*mode, "name").value_or("Focus"), textIn(*mode, "symbolImageName")};
}
