#pragma once
// The user defaults kept in one JSON file, $XDG_CONFIG_HOME/Vude/defaults.json
// by default. Every change is written to disk at once, atomically, so a crash
// leaves the previous file or the new one. A file that was read but does not
// parse is renamed aside (kept for the user) and the store starts empty; it is
// never overwritten in place. A file that cannot be read at all (permissions,
// an I/O error, a FIFO) may be perfectly good: it stays where it is, untouched,
// and the store runs on defaults kept in memory.
//
// The file is one JSON object from key to value. Bools, integers, doubles,
// strings, arrays and dictionaries are plain JSON (a double is always written
// with a point or an exponent, so it reads back as a double). Values JSON has
// no form for are one-member objects with a "$" tag:
//   {"$date": 752000000.25}       seconds since 2001-01-01 00:00:00 UTC
//   {"$double": "nan"}            also "inf" and "-inf"
//   {"$bytes": [195, 169, 255]}   a string that is not valid UTF-8, byte by byte
//   {"$dictionary": {...}}        a dictionary that would read as a tag

#include "VudeKit/Expected.h"
#include "VudeKit/UserDefaults.h"

#include <filesystem>
#include <mutex>
#include <string>

class FileUserDefaults final : public InMemoryUserDefaults {
public:
    enum class LoadOutcome {
        /// There was no file; the store starts empty.
        noFile,
        loaded,
        /// The file was read but does not parse; it was renamed to
        /// setAsidePath().
        setAside,
        /// The file exists but could not be read; it stays as it is, the store
        /// starts empty and keeps its changes in memory.
        unreadable,
        /// The file could not be read back nor moved aside; the store starts
        /// empty and keeps its changes in memory so the file stays untouched.
        unusable,
    };

    /// $XDG_CONFIG_HOME/Vude/defaults.json
    static std::filesystem::path standardLocation();

    /// Loads `file` at once, first removing the temporary files that writes
    /// killed midway left beside it. Hold the SettingsLock of `file` (no
    /// other process may be writing it).
    explicit FileUserDefaults(std::filesystem::path file);

    void set(std::string_view key, DefaultsValue value) override;
    void remove(std::string_view key) override;
    void remove(std::span<const std::string> keys) override;

    const std::filesystem::path& file() const { return m_file; }
    LoadOutcome loadOutcome() const { return m_loadOutcome; }
    /// Where an unreadable file was moved; empty unless loadOutcome() is setAside.
    const std::filesystem::path& setAsidePath() const { return m_setAsidePath; }
    /// Why the file was set aside, unreadable or unusable; empty otherwise.
    const std::string& loadError() const { return m_loadError; }
    /// Why the last write failed; empty after a successful one.
    std::string lastWriteError() const;

    /// The file's text for `values`, and the values of a file's text.
    static std::string encode(const DefaultsValue::Dictionary& values);
    static Expected<DefaultsValue::Dictionary, std::string> decode(std::string_view text);

private:
    struct Loaded {
        DefaultsValue::Dictionary values;
        LoadOutcome outcome = LoadOutcome::noFile;
        std::filesystem::path setAsidePath;
        std::string error;
    };
    static Loaded load(const std::filesystem::path& file);
    FileUserDefaults(std::filesystem::path file, Loaded loaded);

    void save();

    const std::filesystem::path m_file;
    LoadOutcome m_loadOutcome = LoadOutcome::noFile;
    std::filesystem::path m_setAsidePath;
    std::string m_loadError;
    // Held across the change and its write, so the file always ends with the
    // newest state. Readers never wait for it.
    std::mutex m_writeMutex;
    mutable std::mutex m_errorMutex;
    std::string m_lastWriteError;
};
