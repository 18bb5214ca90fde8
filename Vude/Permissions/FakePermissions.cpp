#include "Vude/Permissions/FakePermissions.h"

#include "Vude/Permissions/Permission.h"
#include "VudeKit/LinuxTexts.h"

namespace {

// A stack connection whose power-on answers when the test says.
class FakeBluetoothManager final : public BluetoothBackend {
public:
    explicit FakeBluetoothManager(FakePermissions& owner) : m_owner(owner) {}

    void setEventHandler(EventHandler) override {}
    void setAvailabilityHandler(std::function<void()>) override {}
    BluetoothStackState read() override { return {}; }
    void readStatus(std::function<void(const BluetoothStackStatus&)> done) override { done({}); }
    BluetoothStackState watch() override { return {}; }
    void startWatching(std::function<void(const BluetoothStackState&)> done) override { done({}); }
    void unwatch() override {}
    void readBattery(const std::string&, std::function<void(std::optional<int>)> done) override { done(std::nullopt); }
    void powerOn(std::function<void(bool)> done) override { m_owner.pendingPowerOns.push_back(std::move(done)); }

private:
    FakePermissions& m_owner;
};

} // namespace

FakePermissions::FakePermissions()
{
    m_system = std::make_unique<PermissionSystem>(PermissionSeams{
        .scheduler = scheduler,
        .activation = activation,
        .urls = urls,
        .alerts = alerts,
        .bluetoothAuthorization = [this] { return bluetoothAuthorization; },
        .bluetoothStatus = {},
        .makeBluetoothManager = [this]() -> std::unique_ptr<BluetoothBackend> {
            if (!bluetoothReachable)
                return nullptr;
            ++bluetoothManagersMade;
            return std::make_unique<FakeBluetoothManager>(*this);
        },
        .calendar = {.status = [this] { return calendarStatus; },
                     .request = [this](std::function<void(bool)> done) { calendarRequests.push_back(std::move(done)); }},
        .camera = {.status = [this] { return cameraStatus; },
                   .request = [this](std::function<void(bool)> done) { cameraRequests.push_back(std::move(done)); }},
        .privacyTarget = [this](std::string_view anchor) -> std::optional<QUrl> {
            const auto found = privacyTargets.find(anchor);
            if (found == privacyTargets.end())
                return std::nullopt;
            return found->second;
        },
        .privacyTitle = [this](std::string_view anchor) -> std::string {
            if (const auto title = privacyTitles.find(anchor); title != privacyTitles.end())
                return title->second;
            return privacyTargets.contains(anchor) ? std::string(LinuxTexts::openHelp.shown) : std::string();
        },
    });
    m_system->setRestartHandler([this](Permission permission) { restarted.push_back(permission); });
}

FakePermissions::~FakePermissions() = default;

void FakePermissions::answerPowerOn(bool powered)
{
    if (pendingPowerOns.empty())
        return;
    auto done = std::move(pendingPowerOns.front());
    pendingPowerOns.erase(pendingPowerOns.begin());
    done(powered);
}
