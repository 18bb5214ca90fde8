#pragma once
// The Bluetooth stack through BlueZ on the system bus: the object manager's
// adapters (Adapter1.Powered) and devices (Device1.Connected, Battery1).
// Reads wait at most a moment for BlueZ; a bus or a BlueZ that does not
// answer reads as unreachable, never as an error.

#include "Platform/Bluetooth/BluetoothBackend.h"
#include "Platform/Bluetooth/BluezObjectModel.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>

#include <cstdint>

class QDBusServiceWatcher;

class BluezBluetoothBackend final : public QObject, public BluetoothBackend {
    Q_OBJECT
public:
    explicit BluezBluetoothBackend(const QDBusConnection& bus = QDBusConnection::systemBus(),
                                   QObject* parent = nullptr);
    ~BluezBluetoothBackend() override;

    static constexpr const char* kService = "org.bluez";
    static constexpr const char* kRootPath = "/";

    void setEventHandler(EventHandler handler) override;
    BluetoothStackState read() override;
    void readStatus(std::function<void(const BluetoothStackStatus&)> done) override;
    BluetoothStackState watch() override;
    void startWatching(std::function<void(const BluetoothStackState&)> done) override;
    void unwatch() override;
    void readBattery(const std::string& handle, std::function<void(std::optional<int>)> done) override;
    void powerOn(std::function<void(bool)> done) override;
    void setAvailabilityHandler(std::function<void()> handler) override;

private slots:
    void onInterfacesAdded(const QDBusMessage& message);
    void onInterfacesRemoved(const QDBusMessage& message);
    void onPropertiesChanged(const QDBusMessage& message);
    void onServiceRegistered();
    void onServiceUnregistered();
    void onAdapterMayHaveBeenAdded(const QDBusMessage& message);

private:
    struct Snapshot;
    Snapshot fetch();
    // Subscribes to the stack's signals and watches for it to come and go.
    void follow();
    BluetoothStackState take(const Snapshot& snapshot);
    static Snapshot snapshotFrom(const QDBusMessage& reply);
    void switchOn(const Snapshot& snapshot, std::function<void(bool)> done);
    void report(const std::vector<BluetoothBackendEvent>& events);
    bool connectSignals(bool connect);

    QDBusConnection m_bus;
    EventHandler m_handler;
    BluezObjectModel m_model;
    QDBusServiceWatcher* m_watcher = nullptr;
    bool m_watching = false;
    // Counts unwatches, so that an answer outliving its watch is dropped.
    std::uint64_t m_watches = 0;
    std::function<void()> m_availability;
    QDBusServiceWatcher* m_availabilityWatcher = nullptr;
};
