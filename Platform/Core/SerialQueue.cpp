#include "Platform/Core/SerialQueue.h"

#include <pthread.h>

SerialQueue::SerialQueue(std::string label)
    : m_label(std::move(label))
    , m_thread([this] { run(); })
{
    // Linux limits thread names to 15 bytes: keep the distinctive tail.
    const auto dot = m_label.rfind('.');
    const std::string name = (dot == std::string::npos ? m_label : m_label.substr(dot + 1)).substr(0, 15);
    pthread_setname_np(m_thread.native_handle(), name.c_str());
}

SerialQueue::~SerialQueue()
{
    {
        std::scoped_lock lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void SerialQueue::async(std::function<void()> work)
{
    {
        std::scoped_lock lock(m_mutex);
        m_work.push_back(std::move(work));
    }
    m_wake.notify_one();
}

void SerialQueue::waitUntilIdle()
{
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_work.empty() && !m_busy; });
}

bool SerialQueue::isCurrent() const
{
    return std::this_thread::get_id() == m_thread.get_id();
}

void SerialQueue::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || !m_work.empty(); });
        if (m_work.empty()) // stopping with nothing left
            return;
        auto work = std::move(m_work.front());
        m_work.pop_front();
        m_busy = true;
        lock.unlock();
        work();
        lock.lock();
        m_busy = false;
        if (m_work.empty())
            m_idle.notify_all();
    }
}
