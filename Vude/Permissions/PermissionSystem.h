#pragma once
// What the permissions ask of the desktop, in one place: the timer, the
// activation policy, the link opener, the alert, and each permission's system
// side. Permission and PermissionPrompt take a PermissionSystem and never
// reach for a backend themselves; the app installs its one system as the
// standard at start-up.
//   SystemPermissions  the real backends (BlueZ on the system bus, the video
//                      devices, the calendars folder, Qt's message box)
//   FakePermissions    doubles for tests (Vude/FakePermissions.h)
//
// Input monitoring and Accessibility are asked of EventTapService, whose
// checks ask the installed InputAccessProbe: one probe for the key tap and
// the permissions alike.
//
// Main thread only.

#include "Platform/Bluetooth/BluetoothBackend.h"
#include "Platform/Shell/ActivationPolicy.h"
#include "Platform/Shell/UrlOpener.h"
#include "Vude/Permissions/AlertPresenter.h"
#include "Vude/Permissions/BluetoothPermissionProbe.h"
#include "VudeKit/Scheduler.h"

#include <QDBusConnection>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class Permission;
class BluezBluetoothBackend;
class BluetoothAuthorizationCache;
class CalendarFolderAccess;
class V4l2CameraAccess;

/// One permission's system side, in the system's raw codes.
struct PermissionAccess {
    /// The system's status code now.
    std::function<long()> status;
    /// Asks for access; `completion` runs later, on any thread, with whether
    /// access is granted.
    std::function<void(std::function<void(bool)>)> request;
};

struct PermissionSeams {
    Scheduler& scheduler;
    ActivationPolicyRecorder& activation;
    UrlOpener& urls;
    AlertPresenter& alerts;
    /// The stack's Bluetooth authorization as known now, without waiting
    /// for the stack; PermissionSystem::bluetoothAuthorizationChanged() says
    /// when it answers differently.
    std::function<BluetoothAuthorization()> bluetoothAuthorization;
    /// The stack's whole status as known now, the same way; unset, none is
    /// known.
    std::function<BluetoothStackStatus()> bluetoothStatus;
    /// Makes the stack connection a Bluetooth request works through.
    BluetoothPermissionProbe::ManagerFactory makeBluetoothManager;
    PermissionAccess calendar;
    PermissionAccess camera;
    /// Where a privacy pane's anchor ("Privacy_Camera") leads on this
    /// desktop now; none when nothing here explains it.
    std::function<std::optional<QUrl>(std::string_view anchor)> privacyTarget;
    /// The title of a button that opens what privacyTarget gives, saying
    /// what that is ("Open Help"); empty when nothing is opened.
    std::function<std::string(std::string_view anchor)> privacyTitle;
};

class PermissionSystem {
public:
    using RestartHandler = std::function<void(Permission)>;

    explicit PermissionSystem(PermissionSeams seams);
    ~PermissionSystem();

    PermissionSystem(const PermissionSystem&) = delete;
    PermissionSystem& operator=(const PermissionSystem&) = delete;

    const PermissionSeams& seams() const { return m_seams; }
    /// The one Bluetooth probe of this system.
    BluetoothPermissionProbe& bluetoothProbe() { return m_bluetoothProbe; }

    /// Installed by the activity bridge: restarts the service that needed a
    /// permission once a request for it came back granted (the key tap in its
    /// new mode, Bluetooth). Called on the main thread, before the request's
    /// own completion when that runs on the main thread.
    void setRestartHandler(RestartHandler handler) { m_restart = std::move(handler); }
    void restartServiceFor(Permission permission) const;

    /// Opens what the privacy pane `anchor` stands for here; false when
    /// nothing does or it could not be opened.
    bool openPrivacyPane(std::string_view anchor) const;
    /// The title of a button that opens it: privacyTitle, else "Open Help"
    /// when the anchor leads somewhere; empty when it leads nowhere.
    std::string privacyPaneTitle(std::string_view anchor) const;

    /// Calls `handler` whenever the Bluetooth authorization the seams give
    /// may have changed, for as long as the returned token is held.
    [[nodiscard]] std::shared_ptr<void> observeBluetoothAuthorization(std::function<void()> handler);
    /// Tells the observers: the system side's kept authorization changed.
    void bluetoothAuthorizationChanged();

    /// Expires with this system; delayed steps hold it and give up once it
    /// has gone.
    std::weak_ptr<const int> lifetime() const { return m_lifetime; }

    /// The installed system; without one, a SystemPermissions with an
    /// activation policy, link opener and timers of its own, made on first
    /// use.
    static PermissionSystem& standard();
    static void installStandard(std::shared_ptr<PermissionSystem> system);

private:
    PermissionSeams m_seams;
    BluetoothPermissionProbe m_bluetoothProbe;
    RestartHandler m_restart;
    std::vector<std::weak_ptr<std::function<void()>>> m_bluetoothObservers;
    std::shared_ptr<const int> m_lifetime = std::make_shared<const int>(0);
};

/// The real permissions of this desktop.
class SystemPermissions {
public:
    /// `activation` is the app's one activation policy, which its windows
    /// read, and `urls` its link opener; they and `scheduler` must outlive
    /// this. `systemBus` is where BlueZ is asked.
    SystemPermissions(ActivationPolicyRecorder& activation, UrlOpener& urls, Scheduler& scheduler,
                      const QDBusConnection& systemBus = QDBusConnection::systemBus());
    ~SystemPermissions();

    SystemPermissions(const SystemPermissions&) = delete;
    SystemPermissions& operator=(const SystemPermissions&) = delete;

    PermissionSystem& system() { return *m_system; }
    /// What its Bluetooth authorization reads.
    BluetoothAuthorizationCache& bluetoothAuthorization() { return *m_bluetoothAuthorization; }

private:
    QDBusConnection m_bus;
    MessageBoxAlertPresenter m_alerts;
    std::unique_ptr<BluezBluetoothBackend> m_bluetooth;
    std::unique_ptr<BluetoothAuthorizationCache> m_bluetoothAuthorization;
    std::unique_ptr<CalendarFolderAccess> m_calendar;
    std::unique_ptr<V4l2CameraAccess> m_camera;
    std::unique_ptr<PermissionSystem> m_system;
};
