#pragma once
// The synced store's models: to-dos, the scratch note with one revision per
// device, timers and chosen shortcuts, and the schema's one version with its
// migration plan. Every attribute has a default or is optional, and nothing is
// unique: rows written on other devices arrive as separate rows even when
// their `uuid` is already present, and the de-duplicator collapses them.

#include "VudeSync/PersistentModel.h"

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class SyncedTodo final : public PersistentModel {
public:
    SyncedTodo() = default;
    explicit SyncedTodo(FromStore tag) : PersistentModel(tag), uuid() {}
    SyncedTodo(Uuid uuid, std::string title, bool isDone, bool isFavorite, Date createdAt,
               std::optional<Date> completedAt, std::int64_t sortIndex, std::string deviceID);

    Uuid uuid = Uuid::random();
    std::string title;
    bool isDone = false;
    bool isFavorite = false;
    Date createdAt = kDistantPast;
    std::optional<Date> completedAt;
    /// 0 for to-dos added in the Desk, the place in the imported file for
    /// imported ones; the repository does not order by it.
    std::int64_t sortIndex = 0;
    /// The name of the device that created the row.
    std::string deviceID;
};

class SyncedNoteRevision;

/// One note; the system keeps a single one, the shared scratch note.
class SyncedNote final : public PersistentModel, public std::enable_shared_from_this<SyncedNote> {
public:
    SyncedNote() = default;
    explicit SyncedNote(FromStore tag) : PersistentModel(tag), uuid() {}
    SyncedNote(Uuid uuid, std::string title, Date updatedAt);

    Uuid uuid = Uuid::random();
    std::string title;
    Date updatedAt = kDistantPast;

    /// One revision per device that wrote the note, in no stored order.
    /// Deleting the note deletes them.
    const std::vector<std::shared_ptr<SyncedNoteRevision>>& revisions() const { return m_revisions; }
    /// Attaches a revision (the same as setting its note).
    void addRevision(const std::shared_ptr<SyncedNoteRevision>& revision);
    /// Detaches a revision; the revision itself stays.
    void removeRevision(const std::shared_ptr<SyncedNoteRevision>& revision);

private:
    friend class SyncedNoteRevision;
    std::vector<std::shared_ptr<SyncedNoteRevision>> m_revisions;
};

/// One device's version of a note's text.
class SyncedNoteRevision final : public PersistentModel, public std::enable_shared_from_this<SyncedNoteRevision> {
public:
    SyncedNoteRevision() = default;
    explicit SyncedNoteRevision(FromStore tag) : PersistentModel(tag), uuid() {}
    SyncedNoteRevision(Uuid uuid, std::string text, Date editedAt, std::string deviceID);

    Uuid uuid = Uuid::random();
    /// The whole note text as that device last saved it.
    std::string text;
    Date editedAt = kDistantPast;
    std::string deviceID;

    std::shared_ptr<SyncedNote> note() const { return m_note.lock(); }
    /// Moves the revision to `note` (none detaches it), keeping both ends in
    /// step. When one side is in a context and the other in none, the other
    /// joins that context. The revision must be owned by a shared_ptr.
    void setNote(const std::shared_ptr<SyncedNote>& note);

private:
    friend class ModelContext;
    /// Relinks without touching any context (for the store's own bookkeeping).
    void linkNote(const std::shared_ptr<SyncedNote>& note);

    // Held weakly: the note holds its revisions, not the other way round.
    std::weak_ptr<SyncedNote> m_note;
};

class SyncedTimer final : public PersistentModel {
public:
    SyncedTimer() = default;
    explicit SyncedTimer(FromStore tag) : PersistentModel(tag), uuid() {}
    SyncedTimer(Uuid uuid, std::string label, double total, std::int64_t sortIndex);

    Uuid uuid = Uuid::random();
    std::string label;
    /// The countdown's length in seconds.
    double total = 0;
    std::int64_t sortIndex = 0;
};

class SyncedShortcut final : public PersistentModel {
public:
    /// The symbol of a shortcut that was never given one.
    static constexpr const char* kDefaultSymbol = "sparkles";

    SyncedShortcut() = default;
    explicit SyncedShortcut(FromStore tag) : PersistentModel(tag), uuid() {}
    SyncedShortcut(Uuid uuid, std::string shortcutName, std::optional<std::string> customName, std::string symbol,
                   std::optional<std::string> textInput, std::int64_t sortIndex);

    Uuid uuid = Uuid::random();
    /// The name the shortcuts runner knows the shortcut by.
    std::string shortcutName;
    std::optional<std::string> customName;
    std::string symbol = kDefaultSymbol;
    std::optional<std::string> textInput;
    std::int64_t sortIndex = 0;
};

template <>
struct ModelTraits<SyncedTodo> {
    static constexpr std::string_view entityName = "SyncedTodo";
    static constexpr auto attributes = std::make_tuple(
        attribute("uuid", &SyncedTodo::uuid), attribute("title", &SyncedTodo::title),
        attribute("isDone", &SyncedTodo::isDone), attribute("isFavorite", &SyncedTodo::isFavorite),
        attribute("createdAt", &SyncedTodo::createdAt), attribute("completedAt", &SyncedTodo::completedAt),
        attribute("sortIndex", &SyncedTodo::sortIndex), attribute("deviceID", &SyncedTodo::deviceID));
};

template <>
struct ModelTraits<SyncedNote> {
    static constexpr std::string_view entityName = "SyncedNote";
    static constexpr auto attributes = std::make_tuple(
        attribute("uuid", &SyncedNote::uuid), attribute("title", &SyncedNote::title),
        attribute("updatedAt", &SyncedNote::updatedAt));
};

template <>
struct ModelTraits<SyncedNoteRevision> {
    static constexpr std::string_view entityName = "SyncedNoteRevision";
    static constexpr auto attributes = std::make_tuple(
        attribute("uuid", &SyncedNoteRevision::uuid), attribute("text", &SyncedNoteRevision::text),
        attribute("editedAt", &SyncedNoteRevision::editedAt), attribute("deviceID", &SyncedNoteRevision::deviceID));
    /// The to-one end of the note relationship: the note's store key, and the
    /// revision goes when its note goes.
    static constexpr std::string_view noteColumn = "note";
};

template <>
struct ModelTraits<SyncedTimer> {
    static constexpr std::string_view entityName = "SyncedTimer";
    static constexpr auto attributes = std::make_tuple(
        attribute("uuid", &SyncedTimer::uuid), attribute("label", &SyncedTimer::label),
        attribute("total", &SyncedTimer::total), attribute("sortIndex", &SyncedTimer::sortIndex));
};

template <>
struct ModelTraits<SyncedShortcut> {
    static constexpr std::string_view entityName = "SyncedShortcut";
    static constexpr auto attributes = std::make_tuple(
        attribute("uuid", &SyncedShortcut::uuid), attribute("shortcutName", &SyncedShortcut::shortcutName),
        attribute("customName", &SyncedShortcut::customName), attribute("symbol", &SyncedShortcut::symbol),
        attribute("textInput", &SyncedShortcut::textInput), attribute("sortIndex", &SyncedShortcut::sortIndex));
};

/// A schema version (major.minor.patch).
struct SchemaVersion {
    int major = 0;
    int minor = 0;
    int patch = 0;

    std::string toString() const;
    /// "1.0.0"; anything else gives none.
    static std::optional<SchemaVersion> parse(std::string_view text);
    friend constexpr bool operator==(const SchemaVersion&, const SchemaVersion&) = default;
};

/// A custom step from one schema version to the next.
struct MigrationStage {
    SchemaVersion from;
    SchemaVersion to;
};

/// The schema's one version.
struct VudeSchemaV1 {
    static constexpr SchemaVersion versionIdentifier{1, 0, 0};
    /// The model types, in this order.
    using Models = std::tuple<SyncedTodo, SyncedNote, SyncedNoteRevision, SyncedTimer, SyncedShortcut>;
    static constexpr std::array<std::string_view, 5> modelNames{
        ModelTraits<SyncedTodo>::entityName, ModelTraits<SyncedNote>::entityName,
        ModelTraits<SyncedNoteRevision>::entityName, ModelTraits<SyncedTimer>::entityName,
        ModelTraits<SyncedShortcut>::entityName};
};

/// Every schema version the store can meet, and no custom step between them.
struct VudeMigrationPlan {
    static constexpr std::array<SchemaVersion, 1> schemas{VudeSchemaV1::versionIdentifier};
    static constexpr std::array<MigrationStage, 0> stages{};
};
