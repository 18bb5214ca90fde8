#include "VudeKit/LinuxTexts.h"

namespace LinuxTexts {

namespace {

constexpr NamedText kAll[] = {
    {"menuMediaKeyControl", menuMediaKeyControl},
    {"menuMediaKeys", menuMediaKeys},
    {"menuEnableMediaKeys", menuEnableMediaKeys},
    {"menuBluetoothSettings", menuBluetoothSettings},
    {"menuFullDiskAccess", menuFullDiskAccess},
    {"permissionNameInputMonitoring", permissionNameInputMonitoring},
    {"permissionNameAccessibility", permissionNameAccessibility},
    {"openHelp", openHelp},
    {"openBluetoothSettings", openBluetoothSettings},
    {"openCalendarsFolder", openCalendarsFolder},
    {"mediaKeysHeldTitle", mediaKeysHeldTitle},
    {"mediaKeysHeldMessage", mediaKeysHeldMessage},
    {"mediaKeysUnreadableTitle", mediaKeysUnreadableTitle},
    {"mediaKeyControlConsequence", mediaKeyControlConsequence},
    {"suppressionFootnoteHolding", suppressionFootnoteHolding},
    {"suppressionFootnoteHeld", suppressionFootnoteHeld},
    {"deniedOpenHelp", deniedOpenHelp},
    {"deniedOpenBluetoothSettings", deniedOpenBluetoothSettings},
    {"unavailableSandboxed", unavailableSandboxed},
    {"unavailableSystemUnsupported", unavailableSystemUnsupported},
    {"reportSystemRow", reportSystemRow},
    {"reportModelUnknown", reportModelUnknown},
    {"reportBuildSandboxed", reportBuildSandboxed},
    {"reportBuildDebianPackage", reportBuildDebianPackage},
    {"reportBuildInstalledFromSource", reportBuildInstalledFromSource},
    {"reportBuildBuildTree", reportBuildBuildTree},
    {"reportUpdatesSandboxed", reportUpdatesSandboxed},
    {"reportUpdatesDebianPackage", reportUpdatesDebianPackage},
    {"reportUpdatesFromSource", reportUpdatesFromSource},
    {"syncSignedOut", syncSignedOut},
    {"syncRestricted", syncRestricted},
    {"syncQuotaExceeded", syncQuotaExceeded},
    {"syncContainerUnavailable", syncContainerUnavailable},
    {"syncSectionTitle", syncSectionTitle},
    {"syncRowLabel", syncRowLabel},
    {"syncRowFootnote", syncRowFootnote},
    {"syncLocalOnly", syncLocalOnly},
    {"syncPushPending", syncPushPending},
    {"syncPushFailed", syncPushFailed},
    {"syncProbeReachable", syncProbeReachable},
    {"syncProbeUnreachable", syncProbeUnreachable},
    {"syncProbeAccountStatus", syncProbeAccountStatus},
    {"syncProbeError", syncProbeError},
    {"laneKdeConnect", laneKdeConnect},
    {"trayChipHelpCopy", trayChipHelpCopy},
    {"trayChipHelpMove", trayChipHelpMove},
    {"trayShowInFiles", trayShowInFiles},
    {"trayDropMoves", trayDropMoves},
    {"trayDropCopies", trayDropCopies},
    {"trayDragCopies", trayDragCopies},
    {"trayDragMoves", trayDragMoves},
    {"trayLocalNote", trayLocalNote},
    {"quickAppsNotInstalledTooltip", quickAppsNotInstalledTooltip},
    {"quickAppsNotInstalledRow", quickAppsNotInstalledRow},
    {"quickAppsLocalNote", quickAppsLocalNote},
    {"quickAppsChooserFolder", quickAppsChooserFolder},
    {"weatherLocationDeniedDetail", weatherLocationDeniedDetail},
    {"weatherAttributionHelp", weatherAttributionHelp},
    {"calendarWidgetRestricted", calendarWidgetRestricted},
    {"calendarWidgetOpenSettings", calendarWidgetOpenSettings},
    {"calendarPaneWriteOnly", calendarPaneWriteOnly},
    {"calendarPaneRestricted", calendarPaneRestricted},
    {"calendarMeetingLinksFootnote", calendarMeetingLinksFootnote},
    {"displayBrightnessUnreadableTitle", displayBrightnessUnreadableTitle},
    {"displayBrightnessUnreadableDetail", displayBrightnessUnreadableDetail},
    {"connectivityBatteryNote", connectivityBatteryNote},
    {"focusIdentityTitle", focusIdentityTitle},
    {"focusIdentityDetail", focusIdentityDetail},
    {"nowPlayingHelperTitle", nowPlayingHelperTitle},
    {"nowPlayingHelperDetail", nowPlayingHelperDetail},
    {"shortcutsFoundSection", shortcutsFoundSection},
    {"shortcutsSyncFootnote", shortcutsSyncFootnote},
    {"shortcutsNoneFound", shortcutsNoneFound},
    {"clipboardHistoryStaysHere", clipboardHistoryStaysHere},
    {"idleStayingAwake", idleStayingAwake},
    {"idleLetSleep", idleLetSleep},
    {"idleInhibitorFootnote", idleInhibitorFootnote},
    {"idleLockSoundFootnote", idleLockSoundFootnote},
    {"idleLockScreenFootnote", idleLockScreenFootnote},
    {"onboardingMediaBody", onboardingMediaBody},
    {"onboardingMediaNote", onboardingMediaNote},
    {"onboardingStuckOpenMediaKeys", onboardingStuckOpenMediaKeys},
    {"onboardingStuckOpenBluetooth", onboardingStuckOpenBluetooth},
    {"onboardingStuckKeysStep1", onboardingStuckKeysStep1},
    {"onboardingStuckKeysStep2", onboardingStuckKeysStep2},
    {"onboardingStuckKeysStep3", onboardingStuckKeysStep3},
    {"onboardingStuckKeysStep4", onboardingStuckKeysStep4},
    {"onboardingStuckNoServiceStep1", onboardingStuckNoServiceStep1},
    {"onboardingStuckNoServiceStep2", onboardingStuckNoServiceStep2},
    {"onboardingStuckNoServiceStep3", onboardingStuckNoServiceStep3},
    {"onboardingStuckNoServiceStep4", onboardingStuckNoServiceStep4},
    {"onboardingStuckBlockedStep1", onboardingStuckBlockedStep1},
    {"onboardingStuckBlockedStep2", onboardingStuckBlockedStep2},
    {"onboardingStuckBlockedStep3", onboardingStuckBlockedStep3},
    {"onboardingStuckBlockedStep4", onboardingStuckBlockedStep4},
    {"onboardingStuckNoAdapterStep1", onboardingStuckNoAdapterStep1},
    {"onboardingStuckNoAdapterStep2", onboardingStuckNoAdapterStep2},
};

} // namespace

std::span<const NamedText> all()
{
    return kAll;
}

std::string homeRelative(std::string_view path, std::string_view home)
{
    while (home.size() > 1 && home.back() == '/')
        home.remove_suffix(1);
    if (home.empty() || home == "/")
        return std::string(path);
    if (path == home)
        return "~";
    if (path.size() > home.size() && path.starts_with(home) && path[home.size()] == '/')
        return "~" + std::string(path.substr(home.size()));
    return std::string(path);
}

std::string noShortcutsFound(std::string_view shortcutsFolder)
{
    return std::string(shortcutsNoneFound.shown) + std::string(shortcutsFolder) + ", or add it by name.";
}

} // namespace LinuxTexts
