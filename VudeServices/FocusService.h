#pragma once
// Tells the rest of the app whether a Focus mode (Do Not Disturb) is on and,
// when it can find out, which one. On/off comes from the desktop's Do Not
// Disturb (a FocusStateSource); a Focus database with named modes, where one
// is readable, gives the active mode's name and symbol; otherwise the Focus
// filter supplies them through applyFilterIdentity().
//
// Every refresh publishes the whole state: one at start(), one per change of
// the desktop's state, one per applyFilterIdentity(). Without any source the
// state stays off. Main thread only.

#include "Platform/Core/LatestStream.h"
#include "Platform/Desktop/FocusStateSource.h"
#include "VudeServices/FocusDatabase.h"
#include "VudeServices/FocusModeState.h"

#include <QObject>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

class FocusService final : public QObject {
    Q_OBJECT
public:
    /// States not yet taken by the consumer beyond this many are dropped,
    /// oldest first.
    static constexpr std::size_t stateBufferSize = 2;

    /// `source`: the desktop's Do Not Disturb; none when there is none.
    /// `home`: the folder the Focus database lives under.
    explicit FocusService(std::unique_ptr<FocusStateSource> source, std::filesystem::path home,
                          QObject* parent = nullptr);
    ~FocusService() override;

    LatestStream<FocusModeState> states() const { return m_states; }
    const FocusModeState& state() const { return m_state; }
    /// Whether the Focus database was readable at start(): then the mode's
    /// name and symbol are known, not only that Focus is on.
    bool hasRichIdentity() const { return m_hasRichIdentity; }

    /// Follows the desktop, probes the Focus database and publishes the
    /// state. When the desktop has not answered yet, the first state follows
    /// its answer instead, so that it is never a guess.
    void start();
    /// Stops following the desktop; the last state stays, the stream stays
    /// open.
    void stop();

    /// Sets the mode's name (none clears it) and, when given, its symbol;
    /// leaves on/off alone; publishes.
    void applyFilterIdentity(std::optional<std::string> name, std::optional<std::string> symbol);

private:
    void refresh();
    void publish() { m_states.yield(m_state); }

    std::unique_ptr<FocusStateSource> m_source;
    FocusDatabase m_database;
    LatestStream<FocusModeState> m_states{stateBufferSize};
    FocusModeState m_state{};
    bool m_hasRichIdentity = false;
    bool m_started = false;
};
