#pragma once
// Owns the one store of the synced Desk data: where it lives, the one-time
// move of a store left by an earlier build, whether it is mirrored to the
// user's private cloud or kept on this computer only, the account state and
// the mirroring's progress, published as one SyncStatus.
//
// Every delay (the 2 s and 4 s retries of the account check) goes through the
// injected Scheduler. Main thread only; "asynchronous" operations call their
// `done` when finished, possibly before they return.

#include "Platform/Cloud/CloudDatabase.h"
#include "VudeKit/ClockSource.h"
#include "VudeKit/Scheduler.h"
#include "VudeKit/UserDefaults.h"
#include "VudeSync/CloudMirror.h"
#include "VudeSync/ModelContainer.h"
#include "VudeSync/SyncStatus.h"

#include <QObject>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class SyncCoordinator final : public QObject {
    Q_OBJECT

public:
    /// The outcome of registering for changes pushed by other computers. On
    /// Linux the mirror's folder watch stands for it.
    class PushRegistration {
    public:
        enum class Kind { failed, pending, registered };

        static PushRegistration failed(std::string reason) { return {Kind::failed, std::move(reason)}; }
        static PushRegistration pending() { return {Kind::pending, {}}; }
        static PushRegistration registered() { return {Kind::registered, {}}; }

        Kind kind() const { return m_kind; }
        /// The failure's description; empty otherwise.
        const std::string& reason() const { return m_reason; }
        /// "pending", "registered" or failed("…").
        std::string description() const;

        friend bool operator==(const PushRegistration&, const PushRegistration&) = default;

    private:
        PushRegistration(Kind kind, std::string reason) : m_kind(kind), m_reason(std::move(reason)) {}
        Kind m_kind;
        std::string m_reason;
    };

    using TraceSink = std::function<void(const std::string&)>;

    struct Services {
        /// "Application Support": the store's folder "Vude" and the earlier
        /// build's "default.store" are in it.
        std::filesystem::path applicationSupportRoot;
        /// The cloud database of the container; none: the mirrored store
        /// cannot open.
        std::shared_ptr<CloudDatabase> cloud;
        /// Qt timers and the system clock when none.
        Scheduler* scheduler = nullptr;
        const ClockSource* clock = nullptr;
        /// Holds "lastSyncDate"; the standard user defaults when none.
        std::shared_ptr<UserDefaults> defaults;
        CloudMirror::Options mirror;
        TraceSink trace;
    };

    static constexpr const char* kLastSyncDateKey = "lastSyncDate";

    /// Stores the identifier; nothing is opened.
    SyncCoordinator(std::string containerID, Services services, QObject* parent = nullptr);
    ~SyncCoordinator() override;

    /// "Vude/Vude.store" under `applicationSupportRoot`; creates the folder
    /// (a failure is ignored).
    static std::filesystem::path storeURL(const std::filesystem::path& applicationSupportRoot);

    /// Opens the container and, with sync on, checks the account, then
    /// starts following mirroring events and account changes. Once per process.
    void start(bool syncEnabled, std::function<void()> done = {});
    /// Asks for the account status, up to three times with pauses of 2 s and
    /// 4 s, and sets the status. Several may run at once; the last to finish
    /// decides. With sync turned off at start, the status stays "turned off".
    void refreshAccountStatus(std::function<void()> done = {});
    void notePushRegistration(PushRegistration registration);
    /// Stops following mirroring events and account changes.
    void stop();

    const SyncStatus& status() const { return m_status; }
    /// The store's container; none before start() and when no store opened.
    ModelContainer* container() const { return m_container.get(); }
    bool isLocalOnly() const { return m_isLocalOnly; }
    const std::optional<std::string>& containerError() const { return m_containerError; }
    const PushRegistration& push() const { return m_push; }
    const std::optional<std::string>& accountError() const { return m_accountError; }
    const std::string& containerID() const { return m_containerID; }
    /// The mirror of a mirrored container; none otherwise.
    CloudMirror* mirror() const { return m_mirror.get(); }

signals:
    void statusChanged();
    void containerChanged();
    void isLocalOnlyChanged();
    void containerErrorChanged();
    void pushChanged();
    void accountErrorChanged();

private:
    std::unique_ptr<ModelContainer> makeContainer(bool cloudKit);
    static void migrateLegacyStoreIfNeeded(const std::filesystem::path& storeURL,
                                           const std::filesystem::path& applicationSupportRoot);
    void attemptAccountStatus(int attempt, std::function<void()> done);
    void observeSyncEvents();
    void observeAccountChanges();
    std::optional<Date> lastSyncDate() const;

    void setStatus(SyncStatus status);
    void setIsLocalOnly(bool isLocalOnly);
    void setContainerError(std::optional<std::string> error);
    void setAccountError(std::optional<std::string> error);
    void trace(const std::string& line) const;

    SyncStatus m_status = SyncStatus::idle();
    // The container before its mirror, so the mirror goes first.
    std::unique_ptr<ModelContainer> m_container;
    std::unique_ptr<CloudMirror> m_mirror;
    bool m_isLocalOnly = false;
    std::optional<std::string> m_containerError;
    PushRegistration m_push = PushRegistration::pending();
    std::optional<std::string> m_accountError;
    const std::string m_containerID;
    std::uint64_t m_eventObserver = 0;
    std::uint64_t m_accountObserver = 0;

    Services m_services;
    std::unique_ptr<Scheduler> m_ownScheduler;
    SystemClock m_systemClock;
    /// The sync setting given to start(); none before it.
    std::optional<bool> m_syncEnabled;
};
