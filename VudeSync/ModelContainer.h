#pragma once
// The persistent store of the synced models: one SQLite file opened with the
// schema's current version, in write-ahead-log mode (so its companion files
// are "<store>-wal" and "<store>-shm"), from which model contexts are made.
// Lives on the main thread; its contexts too.

#include "VudeKit/Expected.h"
#include "VudeSync/Schema.h"
#include "VudeSync/SqliteDatabase.h"

#include <QObject>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

class ModelContext;

struct ModelConfiguration {
    /// The store file ("…/Vude/Vude.store").
    std::filesystem::path url;
    /// The cloud container the store is mirrored to; none keeps it local.
    std::optional<std::string> cloudContainerID{};
    /// How long a save waits for another writer (another process, the
    /// mirror) before it fails. Writes are short, so this is rarely reached.
    std::chrono::milliseconds busyTimeout{1000};
};

class ModelContainer final : public QObject {
    Q_OBJECT

public:
    /// PRAGMA application_id of every store this app creates ("Vude").
    static constexpr std::int64_t applicationID = 0x56756465;

    /// Opens the store, creating it with the current schema when the file is
    /// new or empty. Fails, leaving the file as it was, when the file is not a
    /// database, belongs to another program, or was written with a schema
    /// version the migration plan does not know.
    static Expected<std::unique_ptr<ModelContainer>, std::string> open(ModelConfiguration configuration);

    ~ModelContainer() override;

    const ModelConfiguration& configuration() const { return m_configuration; }
    bool isMirrored() const { return m_configuration.cloudContainerID.has_value(); }
    SchemaVersion schemaVersion() const { return VudeSchemaV1::versionIdentifier; }

    /// A fresh context over the store, with its own connection.
    std::unique_ptr<ModelContext> makeContext();

    /// Announces that the store was changed outside any context of this
    /// process (by the mirror or another process).
    void postRemoteChange();

    /// Prepares a connection to a store file the way every connection of the
    /// store needs it (foreign keys on, the write-ahead log, normal syncing).
    static Expected<void, std::string> configureConnection(SqliteDatabase& database,
                                                           std::chrono::milliseconds busyTimeout);

    /// Announces that a context of this container saved changes (what the
    /// mirror sends out).
    void noteLocalSave();

signals:
    /// Delivered on the main thread.
    void remoteChange();
    /// A context of this container committed changes; emitted by save().
    void localSave();

private:
    ModelContainer(ModelConfiguration configuration, SqliteDatabase database);

    ModelConfiguration m_configuration;
    // Held open for the container's life, so the write-ahead log stays in use
    // between contexts.
    SqliteDatabase m_database;
};
