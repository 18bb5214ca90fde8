#include "Vude/App/DiagnosticsExport.h"

#include "Platform/Core/AtomicFile.h"
#include "VudeKit/EnumTraits.h"
#include "VudeKit/LinuxTexts.h"
#include "VudeServices/BluetoothService.h"
#include "VudeKit/Numbers.h"

namespace DiagnosticsExport {

namespace {

constexpr std::string_view kEmit = "media EMIT ";
constexpr std::string_view kSeededTodo = "seeded todo: ";
constexpr std::string_view kTitle = "title=";
constexpr std::string_view kKey = "key=";
constexpr std::string_view kArtwork = " art=";

/// Where `field` starts a field of `line` (at the start or after a space).
std::size_t fieldStart(std::string_view line, std::string_view field)
{
    for (auto at = line.find(field); at != std::string_view::npos; at = line.find(field, at + 1))
        if (at == 0 || line[at - 1] == ' ')
            return at;
    return std::string_view::npos;
}

std::string masked(std::string_view line, std::size_t from)
{
    return std::string(line.substr(0, from)) + std::string(maskText);
}

std::string truncatedSize(double width, double height)
{
    return formatInteger(saturatingCast<std::int64_t>(width)) + "\u00D7" +
           formatInteger(saturatingCast<std::int64_t>(height));
}

} // namespace

std::string maskedLogLine(std::string_view line)
{
    if (const auto at = line.find(kEmit); at != std::string_view::npos)
        return masked(line, at + kEmit.size());
    if (const auto at = line.find(kSeededTodo); at != std::string_view::npos)
        return masked(line, at + kSeededTodo.size());

    // A title or an item key can hold anything, spaces and "key=" included:
    // everything from the first such field up to the artwork size, the last
    // field, goes.
    const auto title = fieldStart(line, kTitle);
    const auto key = fieldStart(line, kKey);
    const auto first = std::min(title, key);
    if (first == std::string_view::npos)
        return std::string(line);
    const auto artwork = line.rfind(kArtwork);
    const auto end = artwork != std::string_view::npos && artwork > first ? artwork : line.size();
    const auto hidden = line.substr(first, end - first);
    std::string result(line.substr(0, first));
    if (first == title) {
        result += std::string(kTitle) + std::string(maskText);
        if (hidden.find(" key=") != std::string_view::npos)
            result += " " + std::string(kKey) + std::string(maskText);
    } else {
        result += std::string(kKey) + std::string(maskText);
    }
    result += line.substr(end);
    return result;
}

std::vector<std::string> maskedLogTail(const std::vector<std::string>& lines)
{
    std::vector<std::string> result;
    result.reserve(lines.size());
    for (const auto& line : lines)
        result.push_back(maskedLogLine(line));
    return result;
}

DiagnosticsReport::Screen screenRow(const ScreenFacts& screen)
{
    return {"Display " + formatInteger(static_cast<std::int64_t>(screen.displayID)),
            truncatedSize(screen.width, screen.height),
            screen.notch ? truncatedSize(screen.notch->first, screen.notch->second) : "none (synthetic)"};
}

Permission::State bluetoothPermission(const BluetoothFacts& bluetooth)
{
    return Permission::stateForBluetooth(static_cast<long>(bluetooth.authorization));
}

std::string_view bluetoothService(const BluetoothFacts& bluetooth)
{
    // The service's start results by name, so the row reads as it did.
    switch (bluetoothPermission(bluetooth)) {
    case Permission::State::granted:
        return bluetooth.running ? rawValue(BluetoothService::StartResult::started) : "notStarted";
    case Permission::State::denied:
        return rawValue(BluetoothService::StartResult::denied);
    case Permission::State::notDetermined:
    case Permission::State::unknown:
        break;
    }
    return rawValue(BluetoothService::StartResult::needsPermission);
}

std::vector<DiagnosticsReport::Row> permissionRows(const Facts& facts)
{
    const auto row = [](std::string_view name, Permission::State state) {
        return DiagnosticsReport::Row{std::string(name), std::string(rawValue(state))};
    };
    return {
        row(LinuxTexts::permissionNameInputMonitoring.shown, facts.inputMonitoring),
        row(LinuxTexts::permissionNameAccessibility.shown, facts.accessibility),
        row("Bluetooth", bluetoothPermission(facts.bluetooth)),
        row("Calendar", facts.calendar),
        row("Camera", facts.camera),
    };
}

std::vector<DiagnosticsReport::Row> serviceRows(const Facts& facts)
{
    return {
        {"Media adapter", facts.universalMediaAdapter ? "universal" : "app-specific"},
        {"HUD suppression", facts.accessibilityTrusted ? "active" : "unavailable"},
        {"Brightness", facts.brightnessAvailable ? "available" : "unavailable"},
        {"Bluetooth", std::string(bluetoothService(facts.bluetooth))},
        {"Calendar", facts.calendarAccess},
        {"Push", facts.push},
        {"Keep awake", facts.keepingAwake ? "on" : "off"},
        {"Updates", std::string(DiagnosticsReport::updatesText(facts.profile, facts.installation))},
    };
}

DiagnosticsReport::Inputs inputs(const Facts& facts)
{
    DiagnosticsReport::Inputs result;
    result.version = facts.version;
    result.build = facts.build;
    result.osVersion = facts.osVersion;
    result.model = facts.model;
    result.profile = facts.profile;
    result.installation = facts.installation;
    for (const auto& screen : facts.screens)
        result.screens.push_back(screenRow(screen));
    result.permissions = permissionRows(facts);
    result.services = serviceRows(facts);
    result.syncSummary = facts.syncSummary;
    result.widgetCount = facts.widgetCount;
    result.trayCount = facts.trayCount;
    result.clipCount = facts.clipCount;
    result.todoCount = facts.todoCount;
    result.logTail = maskedLogTail(facts.logTail);
    result.logThisRunFrom = facts.logThisRunFrom;
    result.generatedAt = facts.generatedAt;
    return result;
}

std::filesystem::path saveFolder(const std::filesystem::path& documents, const std::filesystem::path& home)
{
    std::error_code error;
    if (!documents.empty() && documents.is_absolute() && std::filesystem::is_directory(documents, error))
        return documents;
    return home;
}

Outcome save(const std::string& text, Desktop& desktop)
{
    desktop.activation.activateIgnoringOtherApps();
    const auto chosen = desktop.chooseFile ? desktop.chooseFile() : std::nullopt;
    Outcome outcome = Outcome::cancelled;
    if (chosen && !chosen->empty()) {
        if (auto written = AtomicFile::write(*chosen, text); written) {
            desktop.revealer.reveal(*chosen);
            outcome = Outcome::saved;
        } else {
            // Nothing was written, so there is nothing to show.
            if (desktop.showError)
                desktop.showError(written.error());
            outcome = Outcome::failed;
        }
    }
    desktop.activation.setActivationPolicy(ActivationPolicy::accessory);
    return outcome;
}

} // namespace DiagnosticsExport
