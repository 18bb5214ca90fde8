#pragma once
// The "Export Diagnostics…" command: the report's inputs gathered as plain
// facts, the trace tail with the user's content masked, and the save: the
// chosen file written whole or not at all, then shown in the file manager.
// A save that fails says why and shows nothing.
//
// Main thread only.

#include "Platform/Shell/ActivationPolicy.h"
#include "Platform/Shell/FileRevealer.h"
#include "Platform/Bluetooth/BluetoothBackend.h"
#include "Platform/Core/SystemDescription.h"
#include "Vude/Permissions/Permission.h"
#include "VudeServices/DiagnosticsReport.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace DiagnosticsExport {

inline constexpr const char* panelTitle = "Save Vude Diagnostics";
inline constexpr const char* defaultFileName = "Vude-diagnostics.txt";
inline constexpr std::size_t logTailLimit = 40;
/// Stands where the trace held a title, an artist, a to-do or a note.
inline constexpr std::string_view maskText = "<hidden>";

/// `line` with what the report promises to leave out masked: the media
/// lines' titles and item keys (which hold title and artist), the title of
/// a new track, a seeded to-do's title. Other lines come back unchanged.
std::string maskedLogLine(std::string_view line);
std::vector<std::string> maskedLogTail(const std::vector<std::string>& lines);

/// One screen as the report describes it.
struct ScreenFacts {
    std::uint32_t displayID = 0;
    double width = 0;
    double height = 0;
    /// The hardware notch's size; none for a synthetic one.
    std::optional<std::pair<double, double>> notch;
};

/// Bluetooth as one look at the stack saw it: the Permissions and the
/// Services rows are both read from it, so they cannot disagree.
struct BluetoothFacts {
    BluetoothAuthorization authorization = BluetoothAuthorization::notDetermined;
    /// The bridge's Bluetooth service follows connections.
    bool running = false;
};

/// Everything the report says, read from the running app.
struct Facts {
    std::string version;
    std::string build;
    /// The operating system and kernel (SystemDescription::systemRow).
    std::string osVersion;
    /// The firmware's product name; empty when it names none.
    std::string model;
    BuildProfile profile{false};
    SystemDescription::Installation installation = SystemDescription::Installation::buildTree;
    std::vector<ScreenFacts> screens;
    Permission::State inputMonitoring = Permission::State::unknown;
    Permission::State accessibility = Permission::State::unknown;
    Permission::State calendar = Permission::State::unknown;
    Permission::State camera = Permission::State::unknown;
    BluetoothFacts bluetooth;
    bool universalMediaAdapter = false;
    bool accessibilityTrusted = false;
    bool brightnessAvailable = false;
    std::string calendarAccess;
    std::string push;
    bool keepingAwake = false;
    std::string syncSummary;
    std::int64_t widgetCount = 0;
    std::int64_t trayCount = 0;
    std::int64_t clipCount = 0;
    std::int64_t todoCount = 0;
    /// As read from the trace; masked on the way into the report.
    std::vector<std::string> logTail;
    /// Where this run's lines begin in `logTail`; none when not known.
    std::optional<std::size_t> logThisRunFrom;
    Date generatedAt{};
};

DiagnosticsReport::Screen screenRow(const ScreenFacts& screen);
/// Bluetooth's permission state and its service's state, from one look.
Permission::State bluetoothPermission(const BluetoothFacts& bluetooth);
std::string_view bluetoothService(const BluetoothFacts& bluetooth);
/// Input monitoring, Accessibility, Bluetooth, Calendar and Camera, each by
/// the name it has here.
std::vector<DiagnosticsReport::Row> permissionRows(const Facts& facts);
std::vector<DiagnosticsReport::Row> serviceRows(const Facts& facts);
DiagnosticsReport::Inputs inputs(const Facts& facts);

enum class Outcome { cancelled, saved, failed };

/// What a save needs of the desktop.
struct Desktop {
    ActivationPolicyRecorder& activation;
    /// The save panel: the chosen file, none when cancelled.
    std::function<std::optional<std::filesystem::path>()> chooseFile;
    FileRevealer& revealer;
    /// Tells the user why the file could not be written.
    std::function<void(const std::string& error)> showError;
};

/// Where the save panel starts: the user's Documents folder when it exists,
/// else the home folder (never the working directory, which may be "/").
std::filesystem::path saveFolder(const std::filesystem::path& documents, const std::filesystem::path& home);

/// Brings the app forward, asks where to save, writes `text` atomically and
/// shows the file; the app returns to the accessory policy in every case.
Outcome save(const std::string& text, Desktop& desktop);

} // namespace DiagnosticsExport
