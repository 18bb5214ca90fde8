#pragma once
// The stack's Bluetooth authorization as last read, read again without
// waiting: what the permission checks show, so that a Bluetooth daemon that
// stops answering holds up nothing. The first read goes out at construction;
// every look starts another, and so does the stack appearing or gaining an
// adapter. One read is under way at a time. Until the first answer the
// authorization is `notDetermined`.
//
// Main thread only; the backend must outlive the cache.

#include "Platform/Bluetooth/BluetoothBackend.h"

#include <functional>
#include <memory>

class BluetoothAuthorizationCache {
public:
    explicit BluetoothAuthorizationCache(BluetoothBackend& backend);
    ~BluetoothAuthorizationCache();

    BluetoothAuthorizationCache(const BluetoothAuthorizationCache&) = delete;
    BluetoothAuthorizationCache& operator=(const BluetoothAuthorizationCache&) = delete;

    /// The authorization as last read; reads again in the background (a
    /// backend that answers at once answers this look).
    BluetoothAuthorization current();
    /// The whole status as last read, the same way.
    BluetoothStackStatus status();
    /// Reads again; while a read is under way, once it is answered.
    void refresh();
    /// Whether an answer is still due.
    bool isReading() const { return m_reading; }
    /// Called on the main thread when an answer's authorization differs
    /// from the one kept.
    void setChangeHandler(std::function<void()> handler) { m_changed = std::move(handler); }

private:
    BluetoothBackend& m_backend;
    BluetoothStackStatus m_status;
    bool m_reading = false;
    bool m_readAgain = false;
    std::function<void()> m_changed;
    // Answers arriving after the cache has gone hold this weakly.
    std::shared_ptr<int> m_lifetime = std::make_shared<int>(0);
};
