#pragma once
// Short event sounds played by name ("Tink", "Pop"), without waiting for them
// to finish. The Linux backend (CanberraSoundPlayer) plays the files the app
// ships through the desktop's event-sound library; RecordingSoundPlayer is
// the test double. A name with no sound plays nothing, and so does a system
// without sound output.

#include <string>
#include <string_view>
#include <vector>

class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    /// Returns at once. Main thread.
    virtual void play(std::string_view name) = 0;
};

/// Plays nothing and keeps the names asked for, in order.
class RecordingSoundPlayer final : public SoundPlayer {
public:
    void play(std::string_view name) override { m_played.emplace_back(name); }
    const std::vector<std::string>& played() const { return m_played; }

private:
    std::vector<std::string> m_played;
};
