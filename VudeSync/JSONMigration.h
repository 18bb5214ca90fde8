#pragma once
// Copies what earlier versions kept in plain files (the to-dos in
// "todos.json", the chosen shortcuts in "shortcuts.json", the scratch note in
// "note.txt", all in the folder `containerName` under Application Support)
// into the synced store, once per computer: rows the store already holds (by
// uuid) are skipped, one save writes the rest, and the user default
// "didMigrateJSONStores" records that it ran. The files are never changed.
//
// A file that is missing, unreadable, or does not decode as a whole (one bad
// element is enough) contributes nothing; the others are still imported.

#include "VudeKit/ClockSource.h"
#include "VudeKit/Expected.h"
#include "VudeKit/UserDefaults.h"

#include <filesystem>
#include <memory>
#include <string>

class ModelContext;

class JSONMigration {
public:
    static constexpr const char* kFlagKey = "didMigrateJSONStores";

    /// Rows inserted by one run.
    struct Summary {
        int todos = 0;
        /// Always 0: there was never a timer file.
        int timers = 0;
        int shortcuts = 0;
        /// 1 when the scratch note was made from "note.txt".
        int notes = 0;

        int total() const { return todos + timers + shortcuts + notes; }
        bool isEmpty() const { return total() == 0; }
        friend bool operator==(const Summary&, const Summary&) = default;
    };

    /// Where the files and the flag are; the process's when left empty.
    struct Environment {
        /// "Application Support"; XdgPaths::applicationSupportRoot() when empty.
        std::filesystem::path applicationSupportRoot;
        /// The standard user defaults when none.
        std::shared_ptr<UserDefaults> defaults;
        /// The system clock when none.
        const ClockSource* clock = nullptr;
    };

    JSONMigration(std::string containerName, std::string deviceID);
    JSONMigration(std::string containerName, std::string deviceID, Environment environment);

    const std::string& containerName() const { return m_containerName; }
    const std::string& deviceID() const { return m_deviceID; }

    /// Imports into `context` and saves it. With `force` false, a computer
    /// that has already imported gets an all-zero summary and nothing is read.
    /// Fails only when the final save fails; the flag then stays unset.
    Expected<Summary, std::string> run(ModelContext& context, bool force) const;
    /// Whether an import has completed on this computer.
    bool hasRun() const;

    /// The diagnostics line of a run: "migrated todos=3 notes=1 shortcuts=2 total=6".
    static std::string traceLine(const Summary& summary);

private:
    std::string m_containerName;
    std::string m_deviceID;
    Environment m_environment;
    SystemClock m_systemClock;
};
