#pragma once
// An asynchronous stream that keeps only the newest values: written from any
// thread, delivered on the consumer's thread from its event loop. When the
// consumer falls behind, the oldest undelivered values are dropped so at most
// `capacity` wait. Copies of a stream share one buffer (the producer keeps one,
// the consumer another).

#include <QObject>
#include <QPointer>

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

template <typename T>
class LatestStream {
public:
    explicit LatestStream(std::size_t capacity) : m_shared(std::make_shared<Shared>(capacity)) {}

    /// Adds a value; any thread. Dropped once the stream is finished.
    void yield(T value)
    {
        std::unique_lock lock(m_shared->mutex);
        if (m_shared->finished)
            return;
        m_shared->buffer.push_back(std::move(value));
        while (m_shared->buffer.size() > m_shared->capacity)
            m_shared->buffer.pop_front();
        scheduleDelivery(lock);
    }

    /// Ends the stream; any thread. Values already buffered are still delivered,
    /// then the consumer's onFinished runs once.
    void finish()
    {
        std::unique_lock lock(m_shared->mutex);
        if (m_shared->finished)
            return;
        m_shared->finished = true;
        scheduleDelivery(lock);
    }

    /// Delivers each value, in order, on `context`'s thread; stops when the
    /// context is destroyed. Values buffered before the call are delivered too.
    /// Call it on the context's thread.
    void consume(QObject* context, std::function<void(const T&)> onValue, std::function<void()> onFinished = {})
    {
        std::unique_lock lock(m_shared->mutex);
        if (!m_shared->relay || m_shared->relay->thread() != context->thread()) {
            if (m_shared->relay)
                m_shared->relay->deleteLater(); // drops a delivery queued on it
            m_shared->relay = new QObject;
            m_shared->deliveryPending = false;
        }
        m_shared->context = context;
        m_shared->hasConsumer = true;
        m_shared->onValue = std::move(onValue);
        m_shared->onFinished = std::move(onFinished);
        scheduleDelivery(lock);
    }

    /// Takes every buffered value at once, oldest first, without a consumer.
    std::deque<T> takeAll()
    {
        std::scoped_lock lock(m_shared->mutex);
        return std::exchange(m_shared->buffer, {});
    }

    std::size_t capacity() const { return m_shared->capacity; }

private:
    struct Shared {
        explicit Shared(std::size_t capacity) : capacity(capacity < 1 ? 1 : capacity) {}
        ~Shared()
        {
            if (relay)
                relay->deleteLater();
        }
        std::mutex mutex;
        std::size_t capacity;
        std::deque<T> buffer;
        bool finished = false;
        bool finishDelivered = false;
        bool deliveryPending = false;
        bool hasConsumer = false;
        // Deliveries are posted to this object on the consumer's thread, never
        // to the consumer itself: producers must not read `context`, which the
        // consumer's thread clears when the consumer dies.
        QObject* relay = nullptr;
        QPointer<QObject> context; // read on the consumer's thread only
        std::function<void(const T&)> onValue;
        std::function<void()> onFinished;
    };

    // One posted delivery drains everything buffered by the time it runs, so a
    // busy consumer sees only the newest values.
    void scheduleDelivery(std::unique_lock<std::mutex>&)
    {
        if (m_shared->deliveryPending || !m_shared->hasConsumer)
            return;
        if (m_shared->buffer.empty() && !(m_shared->finished && !m_shared->finishDelivered))
            return;
        m_shared->deliveryPending = true;
        std::weak_ptr<Shared> weak = m_shared;
        QMetaObject::invokeMethod(
            m_shared->relay, [weak] { deliver(weak); }, Qt::QueuedConnection);
    }

    static void deliver(const std::weak_ptr<Shared>& weak)
    {
        const auto shared = weak.lock();
        if (!shared)
            return;
        std::deque<T> values;
        std::function<void(const T&)> onValue;
        std::function<void()> onFinished;
        {
            std::scoped_lock lock(shared->mutex);
            shared->deliveryPending = false;
            if (!shared->context)
                return; // the consumer died: keep the values for a successor
            values = std::exchange(shared->buffer, {});
            onValue = shared->onValue;
            if (shared->finished && !shared->finishDelivered) {
                shared->finishDelivered = true;
                onFinished = shared->onFinished;
            }
        }
        for (const auto& value : values)
            onValue(value);
        if (onFinished)
            onFinished();
    }

    std::shared_ptr<Shared> m_shared;
};
