#include "VudeSync/SyncCoordinator.h"

#include "Platform/Core/NotificationCenter.h"
#include "Platform/Core/QtScheduler.h"
#include "Platform/Core/XdgPaths.h"
#include "VudeSync/SqliteDatabase.h"

#include <QPointer>
#include <QVariant>

#include <array>
#include <fstream>

namespace fs = std::filesystem;

namespace {

constexpr std::array<const char*, 3> kStoreSuffixes{"", "-wal", "-shm"};

bool pathExists(const fs::path& path)
{
    std::error_code error;
    return fs::exists(path, error);
}

/// Whether `path` holds a store of this app. "Application Support" is a
/// folder every program shares, so a "default.store" there may well be
/// another program's; only ours is moved.
bool isVudeStore(const fs::path& path)
{
    std::array<char, 100> header{};
    {
        std::ifstream file(path, std::ios::binary);
        if (!file.read(header.data(), header.size()))
            return false;
    }
    if (std::string_view(header.data(), 16) != std::string_view("SQLite format 3\0", 16))
        return false;
    // The application id is a big-endian integer at offset 68 of the header.
    std::uint32_t id = 0;
    for (int i = 68; i < 72; ++i)
        id = id << 8 | static_cast<unsigned char>(header[static_cast<std::size_t>(i)]);
    if (id != 0)
        return id == ModelContainer::applicationID;
    // A new store's header may still be in its write-ahead log.
    if (!pathExists(fs::path(path.string() + "-wal")))
        return false;
    auto database = SqliteDatabase::open(path, SqliteDatabase::OpenMode::readWrite);
    if (!database)
        return false;
    auto owner = database->queryInteger("PRAGMA application_id");
    return owner && owner->value_or(0) == ModelContainer::applicationID;
}

} // namespace

std::string SyncCoordinator::PushRegistration::description() const
{
    switch (m_kind) {
    case Kind::failed:
        return "failed(\"" + m_reason + "\")";
    case Kind::pending:
        return "pending";
    case Kind::registered:
        return "registered";
    }
    return {};
}

SyncCoordinator::SyncCoordinator(std::string containerID, Services services, QObject* parent)
    : QObject(parent), m_containerID(std::move(containerID)), m_services(std::move(services))
{
    if (m_services.applicationSupportRoot.empty())
        m_services.applicationSupportRoot = XdgPaths::applicationSupportRoot();
    if (!m_services.defaults)
        m_services.defaults = UserDefaults::standard();
    if (!m_services.scheduler) {
        m_ownScheduler = std::make_unique<QtScheduler>();
        m_services.scheduler = m_ownScheduler.get();
    }
    if (!m_services.clock)
        m_services.clock = &m_systemClock;
}

SyncCoordinator::~SyncCoordinator()
{
    stop();
}

void SyncCoordinator::trace(const std::string& line) const
{
    if (m_services.trace)
        m_services.trace(line);
}

fs::path SyncCoordinator::storeURL(const fs::path& applicationSupportRoot)
{
    const auto folder = applicationSupportRoot / XdgPaths::kAppFolder;
    std::error_code error;
    fs::create_directories(folder, error);
    return folder / "Vude.store";
}

void SyncCoordinator::migrateLegacyStoreIfNeeded(const fs::path& storeURL, const fs::path& applicationSupportRoot)
{
    if (pathExists(storeURL))
        return;
    const auto legacy = applicationSupportRoot / "default.store";
    if (!pathExists(legacy) || !isVudeStore(legacy))
        return;
    for (const char* suffix : kStoreSuffixes) {
        const fs::path source = legacy.string() + suffix;
        if (!pathExists(source))
            continue;
        std::error_code error;
        fs::rename(source, storeURL.string() + suffix, error);
    }
    const auto assets = applicationSupportRoot / "default_ckAssets";
    if (pathExists(assets)) {
        std::error_code error;
        fs::rename(assets, storeURL.parent_path() / "Vude_ckAssets", error);
    }
}

std::unique_ptr<ModelContainer> SyncCoordinator::makeContainer(bool cloudKit)
{
    const auto url = storeURL(m_services.applicationSupportRoot);
    migrateLegacyStoreIfNeeded(url, m_services.applicationSupportRoot);

    ModelConfiguration configuration;
    configuration.url = url;
    if (cloudKit) {
        configuration.cloudContainerID = m_containerID;
        std::string error;
        if (auto opened = ModelContainer::open(configuration)) {
            auto mirror = CloudMirror::start(**opened, m_services.cloud, *m_services.scheduler, *m_services.clock,
                                             m_services.mirror, m_services.trace);
            if (mirror) {
                setIsLocalOnly(false);
                setContainerError(std::nullopt);
                m_mirror = std::move(*mirror);
                const auto& watching = m_mirror->watching();
                notePushRegistration(watching ? PushRegistration::registered()
                                              : PushRegistration::failed(watching.error()));
                return std::move(*opened);
            }
            error = mirror.error();
        } else {
            error = opened.error();
        }
        setContainerError(error);
    }
    configuration.cloudContainerID.reset();
    setIsLocalOnly(true);
    auto opened = ModelContainer::open(configuration);
    if (!opened) {
        trace("sync: the store could not be opened: " + opened.error());
        return nullptr;
    }
    return std::move(*opened);
}

void SyncCoordinator::start(bool syncEnabled, std::function<void()> done)
{
    m_syncEnabled = syncEnabled;
    m_container = makeContainer(syncEnabled);
    if (m_container)
        emit containerChanged();
    if (!syncEnabled) {
        setStatus(SyncStatus::unavailable(SyncUnavailability::disabled));
        if (done)
            done();
        return;
    }
    QPointer<SyncCoordinator> self(this);
    refreshAccountStatus([self, done] {
        if (!self)
            return;
        self->observeSyncEvents();
        self->observeAccountChanges();
        if (done)
            done();
    });
}

void SyncCoordinator::refreshAccountStatus(std::function<void()> done)
{
    // Turned off in the settings is the truth until the next launch; no
    // account answer can change it.
    if (m_syncEnabled == false) {
        setStatus(SyncStatus::unavailable(SyncUnavailability::disabled));
        if (done)
            done();
        return;
    }
    if (m_isLocalOnly) {
        setStatus(SyncStatus::unavailable(SyncUnavailability::containerUnavailable));
        if (done)
            done();
        return;
    }
    attemptAccountStatus(0, std::move(done));
}

void SyncCoordinator::attemptAccountStatus(int attempt, std::function<void()> done)
{
    QPointer<SyncCoordinator> self(this);
    const auto decided = [self, done](SyncStatus status) {
        self->setStatus(std::move(status));
        if (done)
            done();
    };
    const auto undecided = [self, attempt, done, decided] {
        if (attempt >= 2) {
            decided(SyncStatus::unavailable(SyncUnavailability::containerUnavailable));
            return;
        }
        const Duration pause = attempt == 0 ? std::chrono::seconds(2) : std::chrono::seconds(4);
        self->m_services.scheduler->after(pause, [self, attempt, done] {
            if (self)
                self->attemptAccountStatus(attempt + 1, done);
        });
    };
    if (!m_services.cloud) {
        setAccountError("There is no cloud database for " + m_containerID + ".");
        undecided();
        return;
    }
    m_services.cloud->accountStatus([self, decided, undecided](CloudDatabase::AccountStatusResult answer) {
        if (!self)
            return;
        if (!answer) {
            self->setAccountError(answer.error().description);
            undecided();
            return;
        }
        self->setAccountError(std::nullopt);
        switch (*answer) {
        case CloudAccountStatus::available:
            decided(SyncStatus::idle(self->lastSyncDate()));
            return;
        case CloudAccountStatus::restricted:
            decided(SyncStatus::unavailable(SyncUnavailability::restricted));
            return;
        case CloudAccountStatus::noAccount:
            decided(SyncStatus::unavailable(SyncUnavailability::signedOut));
            return;
        case CloudAccountStatus::couldNotDetermine:
        case CloudAccountStatus::temporarilyUnavailable:
            break;
        }
        undecided();
    });
}

void SyncCoordinator::notePushRegistration(PushRegistration registration)
{
    if (m_push == registration)
        return;
    m_push = std::move(registration);
    emit pushChanged();
}

void SyncCoordinator::observeSyncEvents()
{
    m_eventObserver = NotificationCenter::defaultCenter().addObserver(
        CloudMirror::eventChangedNotification, this, [this](const Notification& notification) {
            const auto value = notification.userInfo.value(CloudMirror::eventKey);
            if (value.metaType() != QMetaType::fromType<CloudMirrorEvent>())
                return;
            const auto event = value.value<CloudMirrorEvent>();
            const bool quotaExceeded =
                !event.succeeded && event.error && event.error->code == CloudError::quotaExceeded;
            if (quotaExceeded) {
                setStatus(SyncStatus::unavailable(SyncUnavailability::quotaExceeded));
            } else if (event.endDate) {
                m_services.defaults->set(kLastSyncDateKey, *event.endDate);
                setStatus(SyncStatus::idle(*event.endDate));
            } else {
                setStatus(SyncStatus::syncing());
            }
        });
}

void SyncCoordinator::observeAccountChanges()
{
    m_accountObserver = NotificationCenter::defaultCenter().addObserver(
        CloudDatabase::accountChangedNotification, this, [this](const Notification&) { refreshAccountStatus(); });
}

void SyncCoordinator::stop()
{
    auto& center = NotificationCenter::defaultCenter();
    if (m_eventObserver != 0)
        center.removeObserver(std::exchange(m_eventObserver, 0));
    if (m_accountObserver != 0)
        center.removeObserver(std::exchange(m_accountObserver, 0));
}

std::optional<Date> SyncCoordinator::lastSyncDate() const
{
    return m_services.defaults->dateForKey(kLastSyncDateKey);
}

void SyncCoordinator::setStatus(SyncStatus status)
{
    if (m_status == status)
        return;
    m_status = std::move(status);
    emit statusChanged();
}

void SyncCoordinator::setIsLocalOnly(bool isLocalOnly)
{
    if (m_isLocalOnly == isLocalOnly)
        return;
    m_isLocalOnly = isLocalOnly;
    emit isLocalOnlyChanged();
}

void SyncCoordinator::setContainerError(std::optional<std::string> error)
{
    if (m_containerError == error)
        return;
    m_containerError = std::move(error);
    emit containerErrorChanged();
}

void SyncCoordinator::setAccountError(std::optional<std::string> error)
{
    if (m_accountError == error)
        return;
    m_accountError = std::move(error);
    emit accountErrorChanged();
}
