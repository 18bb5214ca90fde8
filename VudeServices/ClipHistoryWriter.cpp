#include "VudeServices/ClipHistoryWriter.h"

#include "Platform/Core/AtomicFile.h"
#include "Platform/Core/SerialQueue.h"

#include <mutex>
#include <optional>
#include <system_error>

namespace fs = std::filesystem;

struct ClipHistoryWriter::State {
    State(fs::path path, mode_t fileMode) : file(std::move(path)), mode(fileMode) {}

    const fs::path file;
    const mode_t mode;

    // Held while the file is written or deleted. A list is taken from
    // `waiting` only under it, so once remove() holds it no older list can
    // reach the file. Taken before `lock`, never after.
    std::mutex fileLock;

    mutable std::mutex lock;
    std::optional<std::vector<Clip>> waiting;
    bool jobQueued = false;

    std::optional<std::vector<Clip>> takeWaiting()
    {
        const std::lock_guard guard(lock);
        std::optional<std::vector<Clip>> taken = std::move(waiting);
        waiting.reset();
        jobQueued = false;
        return taken;
    }

    // Encoding and write failures leave the file as it was.
    void write(const std::vector<Clip>& clips) const
    {
        (void)AtomicFile::write(file, encodeClipHistory(clips), mode);
    }

    void writeWaiting()
    {
        const std::lock_guard guard(fileLock);
        if (auto clips = takeWaiting())
            write(*clips);
    }
};

ClipHistoryWriter::ClipHistoryWriter(fs::path file, mode_t mode, Executor executor)
    : m_state(std::make_shared<State>(std::move(file), mode)), m_executor(std::move(executor))
{
}

ClipHistoryWriter::~ClipHistoryWriter()
{
    flush();
    // The queue runs what is left (nothing to write) and joins.
    m_ownQueue.reset();
}

void ClipHistoryWriter::save(std::vector<Clip> clips)
{
    {
        const std::lock_guard guard(m_state->lock);
        m_state->waiting = std::move(clips);
        if (m_state->jobQueued)
            return;
        m_state->jobQueued = true;
    }
    auto job = [state = m_state] { state->writeWaiting(); };
    if (m_executor) {
        m_executor(std::move(job));
        return;
    }
    if (!m_ownQueue)
        m_ownQueue = std::make_unique<SerialQueue>("app.ruvudav.notch.clipboard");
    m_ownQueue->async(std::move(job));
}

void ClipHistoryWriter::writeNow(const std::vector<Clip>& clips)
{
    const std::lock_guard guard(m_state->fileLock);
    (void)m_state->takeWaiting();
    m_state->write(clips);
}

void ClipHistoryWriter::remove()
{
    const std::lock_guard guard(m_state->fileLock);
    (void)m_state->takeWaiting();
    std::error_code ignored;
    fs::remove(m_state->file, ignored);
}

void ClipHistoryWriter::cancel()
{
    const std::lock_guard guard(m_state->fileLock);
    (void)m_state->takeWaiting();
}

void ClipHistoryWriter::flush()
{
    m_state->writeWaiting();
}

bool ClipHistoryWriter::hasPendingWrite() const
{
    const std::lock_guard guard(m_state->lock);
    return m_state->waiting.has_value();
}
