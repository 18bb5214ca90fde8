#pragma once
// Mirrors the synced store into the user's private cloud database and back.
//
// Each row is one record under its Z_RECORDNAME. The mirror keeps, in the
// store itself (table Z_MIRROR), the version and a digest of every record as
// last exchanged, so it can tell a local change (the row differs from its
// digest) from a remote one (the database holds a newer version). One pass
// sends local changes out (deleted rows as deletion marks), then applies
// newer remote versions in one transaction and announces them through the
// container's remote change, then writes again anything of this install's
// that the database lost. A local change is stamped no earlier than the
// version it replaces, so the newest write wins everywhere.
//
// A pass costs what changed, not what the store holds: triggers in the store
// list the rows each save touched (table Z_MIRRORCHANGES), so a pass reads
// only those, and it asks the database only for records that may have
// changed since the last pass. The first pass over a store that was never
// watched this way compares every row once.
//
// Passes run a short delay after a context saves (one pass for a burst of
// saves), when another install writes (the database's folder watch or its
// slow poll), when the account changes, and once at start. A pass that did
// something, or failed, is announced as a mirroring event on the default
// notification centre: one without an end date, then one with its end date
// and its outcome. While the account cannot be used the mirror waits quietly.
//
// With `passesOffMainThread` the scheduled passes run on a worker of the
// mirror's own, over the mirror's own connection: each reads one committed
// snapshot of the store (never a save half done) and takes the write lock
// only for its short bookkeeping; events, traces and the remote change reach
// the main thread afterwards. A local change saved while a pass is running
// is never overwritten by an older remote version: it goes out next.
//
// Created and driven from the main thread; the container and the database
// must outlive it.

#include "Platform/Cloud/CloudDatabase.h"
#include "VudeKit/ClockSource.h"
#include "VudeKit/Scheduler.h"

#include <QMetaType>
#include <QObject>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class ModelContainer;
class SerialQueue;
class SqliteDatabase;

/// One mirroring event: running while it has no end date.
struct CloudMirrorEvent {
    enum class Type { setup, importChanges, exportChanges };
    Type type = Type::setup;
    bool succeeded = false;
    std::optional<Date> endDate;
    std::optional<CloudError> error;

    friend bool operator==(const CloudMirrorEvent&, const CloudMirrorEvent&) = default;
};
Q_DECLARE_METATYPE(CloudMirrorEvent)

struct CloudMirrorOptions {
    /// How long after a save the changes go out; saves within it join them.
    Duration exportDelay = std::chrono::seconds(2);
    /// How long the mirror remembers deleted records (so an older copy met
    /// later is not taken for new).
    Duration markMemory = std::chrono::hours(24 * 90);
    /// Whether scheduled passes run on the mirror's worker (the app) or on
    /// the main thread when the scheduler fires (tests that step it).
    bool passesOffMainThread = false;
};

class CloudMirror final : public QObject {
    Q_OBJECT

public:
    /// Posted on NotificationCenter::defaultCenter(); the user info holds the
    /// CloudMirrorEvent under eventKey.
    static constexpr const char* eventChangedNotification = "app.ruvudav.notch.cloudMirrorEventChanged";
    static constexpr const char* eventKey = "event";

    using Options = CloudMirrorOptions;
    using TraceSink = std::function<void(const std::string&)>;

    /// Sets the mirror up on `container`'s store and schedules the first pass.
    /// Fails when the store cannot hold the mirror's bookkeeping.
    static Expected<std::unique_ptr<CloudMirror>, std::string> start(ModelContainer& container,
                                                                    std::shared_ptr<CloudDatabase> database,
                                                                    Scheduler& scheduler, const ClockSource& clock,
                                                                    Options options = {}, TraceSink trace = {});
    ~CloudMirror() override;

    /// Whether other installs' changes are heard as they happen; the reason
    /// when only the slow poll finds them.
    const Expected<void, std::string>& watching() const { return m_watching; }
    const std::shared_ptr<CloudDatabase>& database() const { return m_database; }

    /// Runs one pass now and waits for it: local changes out, remote ones in.
    /// Returns how many records went each way, or why the pass failed.
    struct PassResult {
        int exported = 0;
        int imported = 0;
    };
    Expected<PassResult, CloudError> synchronize();

    /// Waits until the passes handed to the worker have run; their events
    /// still reach the main thread through its event loop.
    void waitForPasses();

private:
    struct Store;
    struct PassOutcome;

    CloudMirror(ModelContainer& container, std::shared_ptr<CloudDatabase> database, Scheduler& scheduler,
                const ClockSource& clock, Options options, TraceSink trace, std::unique_ptr<Store> store);

    /// The work of a pass: on the worker, or on the calling thread.
    PassOutcome runPass();
    /// Announces a pass's outcome; main thread.
    Expected<PassResult, CloudError> finish(PassOutcome outcome);
    void schedulePass(Duration delay);
    void post(const CloudMirrorEvent& event) const;
    void trace(const std::string& line) const;

    ModelContainer& m_container;
    std::shared_ptr<CloudDatabase> m_database;
    Scheduler& m_scheduler;
    const ClockSource& m_clock;
    Options m_options;
    TraceSink m_trace;
    std::unique_ptr<Store> m_store;
    Expected<void, std::string> m_watching;
    ScheduledTask m_pendingPass;
    std::optional<Date> m_pendingDue;
    std::uint64_t m_accountObserver = 0;
    bool m_setupDone = false;
    // Last, so it stops (running what it holds) before the rest goes.
    std::unique_ptr<SerialQueue> m_queue;
};
