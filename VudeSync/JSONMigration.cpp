#include "VudeSync/JSONMigration.h"

#include "Platform/Core/AtomicFile.h"
#include "Platform/Core/XdgPaths.h"
#include "VudeKit/Numbers.h"
#include "VudeSync/ModelContext.h"
#include "VudeSync/ScratchNote.h"

#include <nlohmann/json.hpp>

#include <unordered_set>

using nlohmann::json;

namespace {

/// One element of a legacy list: every field optional, JSON null the same as
/// absent. A present field of the wrong type fails the element, and with it
/// the whole file.
class Element {
public:
    explicit Element(const json& object) : m_object(object) {}

    bool isValid() const { return m_valid && m_object.is_object(); }

    std::optional<std::string> string(const char* key)
    {
        const auto* value = find(key);
        if (!value)
            return std::nullopt;
        if (!value->is_string())
            return fail();
        return value->get<std::string>();
    }
    std::optional<bool> boolean(const char* key)
    {
        const auto* value = find(key);
        if (!value)
            return std::nullopt;
        if (!value->is_boolean())
            return fail();
        return value->get<bool>();
    }
    /// Seconds since 2001-01-01 UTC, as a JSON number.
    std::optional<Date> date(const char* key)
    {
        const auto* value = find(key);
        if (!value)
            return std::nullopt;
        if (!value->is_number())
            return fail();
        return dateFromSecondsSinceReferenceDate(value->get<double>());
    }
    std::optional<Uuid> identifier(const char* key)
    {
        const auto text = string(key);
        if (!text)
            return std::nullopt;
        const auto uuid = Uuid::parse(*text);
        if (!uuid)
            return fail();
        return uuid;
    }

private:
    const json* find(const char* key) const
    {
        if (!m_object.is_object())
            return nullptr;
        const auto found = m_object.find(key);
        return found == m_object.end() || found->is_null() ? nullptr : &*found;
    }
    std::nullopt_t fail()
    {
        m_valid = false;
        return std::nullopt;
    }

    const json& m_object;
    bool m_valid = true;
};

struct LegacyTodo {
    std::optional<Uuid> id;
    std::optional<std::string> title;
    std::optional<bool> isDone;
    std::optional<bool> isFavorite;
    std::optional<Date> createdAt;
    std::optional<Date> completedAt;
};

struct LegacyShortcut {
    std::optional<Uuid> id;
    std::optional<std::string> shortcutName;
    std::optional<std::string> customName;
    std::optional<std::string> symbol;
    std::optional<std::string> textInput;
};

/// The elements of a legacy list file, or none when the file cannot be read
/// or does not decode as a whole.
template <typename Legacy, typename Decode>
std::optional<std::vector<Legacy>> decodeList(const std::filesystem::path& path, Decode&& decode)
{
    auto bytes = AtomicFile::read(path);
    if (!bytes)
        return std::nullopt;
    const json document = json::parse(*bytes, nullptr, false);
    if (document.is_discarded() || !document.is_array())
        return std::nullopt;
    std::vector<Legacy> elements;
    elements.reserve(document.size());
    for (const auto& object : document) {
        Element element(object);
        Legacy legacy = decode(element);
        if (!element.isValid())
            return std::nullopt;
        elements.push_back(std::move(legacy));
    }
    return elements;
}

/// Strict UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF, no
/// sequence cut off at the end.
bool isValidUtf8(std::string_view text)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    for (std::size_t i = 0; i < size;) {
        const unsigned char lead = bytes[i];
        std::size_t length = 0;
        char32_t scalar = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            scalar = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            scalar = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            scalar = lead & 0x07;
        } else {
            return false;
        }
        if (size - i < length)
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            if ((bytes[i + k] & 0xC0) != 0x80)
                return false;
            scalar = scalar << 6 | (bytes[i + k] & 0x3F);
        }
        if ((length == 3 && scalar < 0x800) || (length == 4 && (scalar < 0x10000 || scalar > 0x10FFFF))
            || (scalar >= 0xD800 && scalar <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

template <typename Model>
std::unordered_set<Uuid> existingIdentifiers(ModelContext& context)
{
    std::unordered_set<Uuid> identifiers;
    // A fetch that fails counts as an empty store.
    if (auto rows = context.fetchAll<Model>())
        for (const auto& row : *rows)
            identifiers.insert(row->uuid);
    return identifiers;
}

} // namespace

JSONMigration::JSONMigration(std::string containerName, std::string deviceID)
    : JSONMigration(std::move(containerName), std::move(deviceID), Environment())
{
}

JSONMigration::JSONMigration(std::string containerName, std::string deviceID, Environment environment)
    : m_containerName(std::move(containerName)), m_deviceID(std::move(deviceID)), m_environment(std::move(environment))
{
    if (m_environment.applicationSupportRoot.empty())
        m_environment.applicationSupportRoot = XdgPaths::applicationSupportRoot();
    if (!m_environment.defaults)
        m_environment.defaults = UserDefaults::standard();
}

bool JSONMigration::hasRun() const
{
    return m_environment.defaults->boolForKey(kFlagKey).value_or(false);
}

std::string JSONMigration::traceLine(const Summary& summary)
{
    return "migrated todos=" + formatInteger(summary.todos) + " notes=" + formatInteger(summary.notes)
        + " shortcuts=" + formatInteger(summary.shortcuts) + " total=" + formatInteger(summary.total());
}

Expected<JSONMigration::Summary, std::string> JSONMigration::run(ModelContext& context, bool force) const
{
    if (!force && hasRun())
        return Summary{};
    const ClockSource& clock = m_environment.clock ? *m_environment.clock : m_systemClock;

    // Taken once, before anything is inserted: duplicates within one file
    // are all inserted, for the de-duplicator to collapse.
    const auto todoIDs = existingIdentifiers<SyncedTodo>(context);
    const auto shortcutIDs = existingIdentifiers<SyncedShortcut>(context);
    const auto noteIDs = existingIdentifiers<SyncedNote>(context);

    const auto base = m_environment.applicationSupportRoot / m_containerName;
    Summary summary;

    const auto todos = decodeList<LegacyTodo>(base / "todos.json", [](Element& element) {
        return LegacyTodo{element.identifier("id"),         element.string("title"),
                          element.boolean("isDone"),        element.boolean("isFavorite"),
                          element.date("createdAt"),        element.date("completedAt")};
    });
    if (todos) {
        for (std::size_t i = 0; i < todos->size(); ++i) {
            const auto& legacy = (*todos)[i];
            const Uuid id = legacy.id.value_or(Uuid::random());
            if (todoIDs.contains(id))
                continue;
            context.insert(std::make_shared<SyncedTodo>(id, legacy.title.value_or(""), legacy.isDone.value_or(false),
                                                        legacy.isFavorite.value_or(false),
                                                        legacy.createdAt.value_or(clock.now()), legacy.completedAt,
                                                        static_cast<std::int64_t>(i), m_deviceID));
            ++summary.todos;
        }
    }

    const auto shortcuts = decodeList<LegacyShortcut>(base / "shortcuts.json", [](Element& element) {
        return LegacyShortcut{element.identifier("id"), element.string("shortcutName"), element.string("customName"),
                              element.string("symbol"), element.string("textInput")};
    });
    if (shortcuts) {
        for (std::size_t i = 0; i < shortcuts->size(); ++i) {
            const auto& legacy = (*shortcuts)[i];
            const Uuid id = legacy.id.value_or(Uuid::random());
            if (shortcutIDs.contains(id))
                continue;
            context.insert(std::make_shared<SyncedShortcut>(
                id, legacy.shortcutName.value_or(""), legacy.customName,
                legacy.symbol.value_or(SyncedShortcut::kDefaultSymbol), legacy.textInput, static_cast<std::int64_t>(i)));
            ++summary.shortcuts;
        }
    }

    if (auto text = AtomicFile::read(base / "note.txt"); text && !text->empty() && isValidUtf8(*text)
                                                          && !noteIDs.contains(ScratchNote::kID)) {
        auto note = std::make_shared<SyncedNote>(ScratchNote::kID, ScratchNote::kTitle, clock.now());
        context.insert(note);
        auto revision = std::make_shared<SyncedNoteRevision>(Uuid::random(), std::move(*text), clock.now(), m_deviceID);
        revision->setNote(note);
        context.insert(revision);
        summary.notes = 1;
    }

    if (auto saved = context.save(); !saved)
        return unexpected(saved.error());
    m_environment.defaults->set(kFlagKey, true);
    return summary;
}
