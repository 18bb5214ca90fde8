#pragma once
// The one gateway between the synced store and everything that shows or edits
// the Desk's synced data: to-dos, timers, chosen shortcuts and the scratch
// note. It turns stored rows into sorted value snapshots and publishes them;
// every edit changes rows, saves, and rebuilds every snapshot from the store,
// so what the Desk shows is what a fresh fetch returns. Main thread only.
//
// A save that fails is written to the trace and its change stays pending: the
// next edit, reload or remote change saves it again, and until then it is
// still shown. It is never dropped by a reload.

#include "VudeKit/ClockSource.h"
#include "VudeSync/NoteMerge.h"
#include "VudeSync/Snapshots.h"

#include <QMetaObject>
#include <QObject>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class ModelContext;
class SyncedNote;

class DidoDivuzerore final : public QObject {
    Q_OBJECT

public:
    /// Receives one line for the diagnostics trace.
    using TraceSink = std::function<void(const std::string&)>;

    /// The scratch note's identity, "00000000-0000-0000-0000-00006E6F7465".
    static const Uuid scratchNoteID;

    /// Loads every snapshot at once, then follows the store's remote changes.
    /// `context` must come from a container that outlives the repository;
    /// `clock` must outlive it too.
    DidoDivuzerore(std::unique_ptr<ModelContext> context, std::string deviceID, const ClockSource& clock,
                   TraceSink trace = {}, QObject* parent = nullptr);
    ~DidoDivuzerore() override;

    // Published snapshots; each change signal fires only when the value differs.
    const std::vector<TodoSnapshot>& todos() const { return m_todos; }
    const std::vector<TimerSnapshot>& timers() const { return m_timers; }
    const std::vector<ShortcutSnapshot>& shortcuts() const { return m_shortcuts; }
    const std::string& noteText() const { return m_noteText; }
    /// True when the shown note is a merge holding the conflict separator.
    bool noteHadConflict() const { return m_noteHadConflict; }

    ModelContext& context() const { return *m_context; }
    const std::string& deviceID() const { return m_deviceID; }
    const NoteMerge& merger() const { return m_merger; }

    /// Rebuilds every snapshot from the store (a failed fetch gives an empty
    /// list), the scratch note last.
    void refresh();
    /// Called each time the Desk opens: saves what an earlier failed save left
    /// pending (dropping nothing), then refreshes.
    void reloadFromStore();
    /// Stops following remote changes.
    void stop();

    /// Adds an open to-do with the title trimmed of white space and line
    /// breaks; a title with nothing left does nothing.
    void addTodo(std::string_view title);
    void toggleTodo(const Uuid& id);
    void favoriteTodo(const Uuid& id);
    void deleteTodo(const Uuid& id);
    /// Deletes the done to-dos completed more than `afterDays` days before
    /// `now` (exactly that long ago is kept); returns how many.
    int archiveExpired(int afterDays, Date now);

    void addTimer(double total, std::string label);
    void removeTimer(const Uuid& id);
    void addShortcut(std::string name, std::string symbol);
    void removeShortcut(const Uuid& id);

    /// Writes `text` as this device's revision of the scratch note and shows it.
    void saveNote(const std::string& text);

signals:
    void todosChanged();
    void timersChanged();
    void shortcutsChanged();
    void noteTextChanged();
    void noteHadConflictChanged();

private:
    void saveChanges();
    void saveAndRefresh();
    void refreshNote();
    /// Applies `change` to the first row with `uuid` `id`, then saves and
    /// refreshes; without such a row does nothing.
    template <typename Model, typename Change>
    void changeFirst(const Uuid& id, Change&& change);
    /// The snapshots of every row of one model; a failed fetch gives none.
    template <typename Model, typename MakeSnapshot>
    auto snapshotsOf(std::string_view what, MakeSnapshot&& makeSnapshot);
    std::shared_ptr<SyncedNote> fetchScratchNote();
    void trace(const std::string& line) const;

    std::unique_ptr<ModelContext> m_context;
    std::string m_deviceID;
    const ClockSource& m_clock;
    TraceSink m_trace;
    NoteMerge m_merger;
    QMetaObject::Connection m_remoteChangeObserver;
    /// A failed save left changes pending.
    bool m_hasUnsavedChanges = false;

    std::vector<TodoSnapshot> m_todos;
    std::vector<TimerSnapshot> m_timers;
    std::vector<ShortcutSnapshot> m_shortcuts;
    std::string m_noteText;
    bool m_noteHadConflict = false;
};
