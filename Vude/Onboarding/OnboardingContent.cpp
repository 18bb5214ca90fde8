#include "Vude/Onboarding/OnboardingContent.h"

#include "VudeKit/LinuxTexts.h"

namespace OnboardingContent {

using Step = OnboardingModel::Step;
using State = Permission::State;

std::optional<NotchDemo::Script> hero(Step step)
{
    switch (step) {
    case Step::welcome:
        return NotchDemo::Script::overview;
    case Step::gestures:
        return NotchDemo::Script::gestures;
    case Step::media:
        return NotchDemo::Script::media;
    case Step::permissions:
        return std::nullopt;
    case Step::ravo:
        return NotchDemo::Script::ravo;
    }
    return std::nullopt;
}

Copy copy(Step step)
{
    switch (step) {
    case Step::welcome:
        return {"Welcome", "The notch, put to work",
                "Volume, brightness, what's playing, devices connecting, files you're carrying between apps "
                "\u2014 all of it surfaces where you're already looking."};
    case Step::gestures:
        return {"Step 2 \u2014 Gestures", "Four gestures, that's all",
                "Swipe across to change track. Swipe down to open, up to hide. Click for the Desk. Drag files on "
                "to keep them. Try them now \u2014 Vude is already running."};
    case Step::media:
        return {"Step 3 \u2014 Media", "What's playing, from any app", LinuxTexts::onboardingMediaBody.shown};
    case Step::permissions:
        return {"Step 4 \u2014 Permissions", "Two things to allow",
                "Only two are worth granting now. Everything else Vude asks for the first time you use the "
                "feature that needs it."};
    case Step::ravo:
        return {"Step 5 \u2014 The Desk", "A drawer behind the notch",
                "Click the notch and it opens. Your media player and a file tray live there \u2014 more widgets "
                "are on the way."};
    }
    return {};
}

std::string_view note(Step step)
{
    return step == Step::media ? LinuxTexts::onboardingMediaNote.shown : std::string_view();
}

std::string_view primaryTitle(Step step)
{
    return step == Step::ravo ? "Start using Vude" : "Continue";
}

bool showsBack(Step step)
{
    return step != Step::welcome;
}

std::vector<Permission> offeredPermissions()
{
    return {Permission::inputMonitoring, Permission::bluetooth};
}

namespace {

struct RowTexts {
    std::string_view title;
    std::string_view symbol;
    std::string_view granted;
    std::string_view otherwise;
    std::string_view openDenied;
};

RowTexts rowTexts(Permission permission)
{
    switch (permission.kind()) {
    case Permission::Kind::inputMonitoring:
        return {LinuxTexts::permissionNameInputMonitoring.shown, "keyboard",
                "See the volume, brightness and media keys so the notch can react to them.",
                "Volume changes still show a HUD \u2014 Vude reads them from the audio system instead.",
                LinuxTexts::deniedOpenHelp.shown};
    case Permission::Kind::accessibility:
        return {LinuxTexts::permissionNameAccessibility.shown, "hand.tap",
                "Replace the system volume and brightness HUDs with Vude's.",
                LinuxTexts::mediaKeyControlConsequence.shown, LinuxTexts::deniedOpenHelp.shown};
    case Permission::Kind::bluetooth:
        return {"Bluetooth", "airpods.gen3", "Show when your AirPods and other devices connect, and their battery.",
                "No connect or battery pills. Everything else is unaffected.",
                LinuxTexts::deniedOpenBluetoothSettings.shown};
    case Permission::Kind::calendar:
        return {"Calendar", "calendar", "Show your next event in the notch and on the Desk.",
                "No calendar widget or event pills.", LinuxTexts::openCalendarsFolder.shown};
    case Permission::Kind::camera:
        return {"Camera", "camera", "The Mirror widget.", "No Mirror widget.", LinuxTexts::deniedOpenHelp.shown};
    }
    return {};
}

} // namespace

Row row(Permission permission, State state)
{
    const RowTexts texts = rowTexts(permission);
    switch (state) {
    case State::granted:
        return {texts.title, texts.symbol, texts.granted, RowControl::on, {}};
    case State::denied:
        return {texts.title, texts.symbol, texts.otherwise, RowControl::openSettings, texts.openDenied};
    case State::notDetermined:
    case State::unknown:
        break;
    }
    return {texts.title, texts.symbol, texts.otherwise, RowControl::allow, {}};
}

BluetoothObstacle bluetoothObstacle(const BluetoothStackStatus& status)
{
    if (!status.reachable || status.accessDenied)
        return BluetoothObstacle::noService;
    if (!status.hasAdapter)
        return BluetoothObstacle::noAdapter;
    return BluetoothObstacle::blocked;
}

StuckHelp stuckHelp(Permission permission, const BluetoothStackStatus& stack)
{
    namespace T = LinuxTexts;
    if (permission != Permission::bluetooth)
        return {{T::onboardingStuckKeysStep1.shown, T::onboardingStuckKeysStep2.shown,
                 T::onboardingStuckKeysStep3.shown, T::onboardingStuckKeysStep4.shown},
                T::onboardingStuckOpenMediaKeys.shown};
    switch (bluetoothObstacle(stack)) {
    case BluetoothObstacle::noService:
        return {{T::onboardingStuckNoServiceStep1.shown, T::onboardingStuckNoServiceStep2.shown,
                 T::onboardingStuckNoServiceStep3.shown, T::onboardingStuckNoServiceStep4.shown},
                T::onboardingStuckOpenBluetooth.shown};
    case BluetoothObstacle::blocked:
        return {{T::onboardingStuckBlockedStep1.shown, T::onboardingStuckBlockedStep2.shown,
                 T::onboardingStuckBlockedStep3.shown, T::onboardingStuckBlockedStep4.shown},
                T::onboardingStuckOpenBluetooth.shown};
    case BluetoothObstacle::noAdapter:
        break;
    }
    return {{T::onboardingStuckNoAdapterStep1.shown, T::onboardingStuckNoAdapterStep2.shown},
            T::onboardingStuckOpenBluetooth.shown};
}

} // namespace OnboardingContent
