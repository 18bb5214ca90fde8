#pragma once
// A worker thread that runs submitted work one item at a time, in order, for
// system calls that must not block the main thread. Results go back to the
// main thread with postTo()/postToMainThread().

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

class SerialQueue {
public:
    /// `label` names the queue ("app.ruvudav.notch.audio"); its last component
    /// names the thread in debuggers and `top`.
    explicit SerialQueue(std::string label);
    /// Runs the work already submitted, then joins the thread.
    ~SerialQueue();

    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    const std::string& label() const { return m_label; }

    /// Queues `work`; any thread.
    void async(std::function<void()> work);

    /// Blocks until everything submitted before the call has run. Must not be
    /// called from the queue's own thread.
    void waitUntilIdle();

    /// True on the queue's own thread.
    bool isCurrent() const;

private:
    void run();

    std::string m_label;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<std::function<void()>> m_work;
    bool m_busy = false;
    bool m_stopping = false;
    std::thread m_thread;
};
