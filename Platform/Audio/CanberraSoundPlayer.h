#pragma once
// Event sounds through libcanberra, which hands them to the desktop's sound
// server (PulseAudio or PipeWire's pulse server, else ALSA). A sound named
// "Tink" is the file "Tink.wav" in the sounds folder the app ships.
//
// Nothing is loaded or opened until the first sound: libcanberra is loaded
// and the connection to the sound server made then, on the player's own
// queue, so neither start-up nor the main thread ever waits for a sound
// server. A missing library or file, a name that is not a plain word, or no
// sound server plays nothing and reports nothing.

#include "Platform/Audio/SoundPlayer.h"
#include "Platform/Core/SerialQueue.h"

#include <atomic>
#include <filesystem>
#include <optional>

struct ca_context;

class CanberraSoundPlayer final : public SoundPlayer {
public:
    static constexpr const char* kFileExtension = ".wav";

    /// `folder`: where the sound files are.
    explicit CanberraSoundPlayer(std::filesystem::path folder);
    /// Waits for the sounds already asked for to be handed over.
    ~CanberraSoundPlayer() override;

    CanberraSoundPlayer(const CanberraSoundPlayer&) = delete;
    CanberraSoundPlayer& operator=(const CanberraSoundPlayer&) = delete;

    /// The "sounds" folder among the app's resources.
    static std::filesystem::path defaultFolder();

    /// The file a name plays; none for a name that is empty or holds anything
    /// but letters, digits, '-' and '_' (no path can be named).
    static std::optional<std::filesystem::path> fileFor(const std::filesystem::path& folder, std::string_view name);

    void play(std::string_view name) override;

    /// Blocks until the sounds asked for so far have been handed to the
    /// sound server (or failed). For tests.
    void waitUntilIdle() { m_queue.waitUntilIdle(); }
    /// How many sounds the sound server accepted, and how many it refused or
    /// could not be asked.
    int playedCount() const { return m_played; }
    int failedCount() const { return m_failed; }

private:
    // On the queue only: the open context, made on first use and made again
    // after a failure (the sound server may have gone or come).
    ca_context* context();
    void dropContext();

    const std::filesystem::path m_folder;
    ca_context* m_context = nullptr; // on the queue only
    std::atomic<int> m_played = 0;
    std::atomic<int> m_failed = 0;
    // Declared last: destroyed first, it finishes its work while the rest is
    // still alive.
    SerialQueue m_queue{"app.ruvudav.notch.sounds"};
};
