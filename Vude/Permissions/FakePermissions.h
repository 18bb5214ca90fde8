#pragma once
// A PermissionSystem of doubles for tests: a manual clock and scheduler, the
// activation policy, a recording link opener and alert, and each
// permission's system side answering as the test sets it. Input monitoring
// and Accessibility come from the installed InputAccessProbe (install a
// FakeInputAccessProbe).
//
// Bluetooth requests connect through FakeBluetoothManager objects, which hold
// each power-on until the test answers it, as a slow stack would.

#include "Platform/Shell/ActivationPolicy.h"
#include "Platform/Shell/UrlOpener.h"
#include "Vude/Permissions/AlertPresenter.h"
#include "Vude/Permissions/Permission.h"
#include "Vude/Permissions/PermissionSystem.h"
#include "VudeKit/ClockSource.h"
#include "VudeKit/Scheduler.h"

#include <QUrl>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class FakePermissions {
public:
    FakePermissions();
    ~FakePermissions();

    FakePermissions(const FakePermissions&) = delete;
    FakePermissions& operator=(const FakePermissions&) = delete;

    PermissionSystem& system() { return *m_system; }

    ManualClock clock;
    ManualScheduler scheduler{clock};
    ActivationPolicyRecorder activation;
    RecordingUrlOpener urls;
    RecordingAlertPresenter alerts;

    BluetoothAuthorization bluetoothAuthorization = BluetoothAuthorization::notDetermined;
    /// Raw status codes, as the system gives them.
    long calendarStatus = 0;
    long cameraStatus = 0;
    /// Where each anchor leads; an anchor not here leads nowhere.
    std::map<std::string, QUrl, std::less<>> privacyTargets;
    /// What a button opening each anchor says; "Open Help" for a target
    /// without a title here.
    std::map<std::string, std::string, std::less<>> privacyTitles;

    /// Connections to the stack made so far, and the power-on answers they
    /// still owe (one per request, oldest first).
    int bluetoothManagersMade = 0;
    std::vector<std::function<void(bool)>> pendingPowerOns;
    /// Whether the stack may be connected to at all.
    bool bluetoothReachable = true;
    /// Answers the oldest power-on still owed.
    void answerPowerOn(bool powered);

    /// Calendar and camera requests not yet answered; answer each by calling it.
    std::vector<std::function<void(bool)>> calendarRequests;
    std::vector<std::function<void(bool)>> cameraRequests;

    /// The permissions the restart handler was called for, in order.
    std::vector<Permission> restarted;

private:
    std::unique_ptr<PermissionSystem> m_system;
};
