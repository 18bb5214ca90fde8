#pragma once
// Writes the clipboard history file away from the main thread, coalesced: a
// save hands over a copy of the list and returns; while a write waits, a
// later save takes its place, so a burst of copies costs one or two writes.
//
// What must take effect at once does so on the calling thread, after the
// write that may be running: writeNow() and remove() drop the waiting list
// first, so a history the user cleared or forgot cannot come back from it,
// and flush() writes the waiting list before the process ends.
//
// Called from one thread (the main thread); the writes run on the executor.

#include "VudeServices/Clip.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include <sys/types.h>

class SerialQueue;

class ClipHistoryWriter final {
public:
    /// Runs a job off the calling thread. Jobs may run in any order, on any
    /// thread, or never (a job finding nothing to write does nothing).
    using Executor = std::function<void(std::function<void()> job)>;

    /// Writes `file` with `mode`. Without an executor the writes run on a
    /// serial queue of the writer's own, made at the first save.
    ClipHistoryWriter(std::filesystem::path file, mode_t mode, Executor executor = {});
    /// Flushes, then waits for the writer's own queue.
    ~ClipHistoryWriter();

    ClipHistoryWriter(const ClipHistoryWriter&) = delete;
    ClipHistoryWriter& operator=(const ClipHistoryWriter&) = delete;

    /// Writes `clips` soon, replacing any list still waiting.
    void save(std::vector<Clip> clips);
    /// Drops the waiting list and writes `clips` before returning.
    void writeNow(const std::vector<Clip>& clips);
    /// Drops the waiting list and deletes the file before returning (a
    /// missing file is no error).
    void remove();
    /// Drops the waiting list; when it returns, nothing is being written.
    void cancel();
    /// Writes the waiting list, if any, before returning.
    void flush();
    /// Whether a list waits to be written.
    bool hasPendingWrite() const;

private:
    struct State;

    std::shared_ptr<State> m_state;
    Executor m_executor;
    std::unique_ptr<SerialQueue> m_ownQueue;
};
