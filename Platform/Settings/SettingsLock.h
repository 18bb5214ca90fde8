#pragma once
// The lock the app holds on its settings for its lifetime: two instances would
// each draw the panels and fight over one settings file. It is an advisory
// lock (flock) on "<settings file>.lock", so the system releases it when the
// process ends, however it ends; child processes never inherit it.

#include <filesystem>
#include <string>

class SettingsLock {
public:
    enum class State {
        /// This process holds the lock.
        held,
        /// Another process holds it: another instance is running.
        heldElsewhere,
        /// The lock file cannot be made or locked (a read-only folder, a file
        /// system without locks); see error().
        unavailable,
    };

    /// Takes the lock of `settingsFile` without waiting, creating the lock
    /// file (0600) and its folder (0700) when missing.
    static SettingsLock acquire(const std::filesystem::path& settingsFile);

    SettingsLock(SettingsLock&& other) noexcept;
    SettingsLock& operator=(SettingsLock&& other) noexcept;
    SettingsLock(const SettingsLock&) = delete;
    SettingsLock& operator=(const SettingsLock&) = delete;
    /// Releases the lock.
    ~SettingsLock();

    State state() const { return m_state; }
    bool isHeldElsewhere() const { return m_state == State::heldElsewhere; }
    /// Why the lock is unavailable; empty otherwise.
    const std::string& error() const { return m_error; }

private:
    SettingsLock(State state, int fd, std::string error);

    State m_state;
    int m_fd;
    std::string m_error;
};
