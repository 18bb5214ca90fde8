#pragma once
// Every user-visible text that says something different here than the
// product says on its original desktop, in one table: `original` is the
// product's wording, `shown` is what Vude shows on Linux, saying the same
// thing about what really happens here. Code shows `LinuxTexts::x.shown`;
// `original` is kept for the reader (and for the few raw values that must
// stay byte for byte, such as the sync reasons). Texts not listed here are
// shown exactly as the product words them.
//
// An empty `shown` means the text is left out here: what it offered does
// not exist on Linux.
//
// Entries are grouped by where they show. A new entry also goes into all().

#include <span>
#include <string>
#include <string_view>

struct LinuxText {
    std::string_view original;
    std::string_view shown;
};

namespace LinuxTexts {

// MARK: - Menus (the status item's and the notch's)

/// Opens the help page's section on taking the media keys from the desktop.
inline constexpr LinuxText menuMediaKeyControl{"Accessibility\u2026", "Media Key Control\u2026"};
/// Opens the help page's section on reading the keys.
inline constexpr LinuxText menuMediaKeys{"Input Monitoring\u2026", "Media Keys\u2026"};
/// Checks again whether the keys can be read.
inline constexpr LinuxText menuEnableMediaKeys{"Enable Input Monitoring\u2026", "Enable Media Keys\u2026"};
/// Opens the desktop's Bluetooth settings (the help page where none is installed).
inline constexpr LinuxText menuBluetoothSettings{"Bluetooth (System Settings)\u2026", "Bluetooth Settings\u2026"};
/// Left out: every file the user can read is open to Vude, so there is nothing to grant.
inline constexpr LinuxText menuFullDiskAccess{"Full Disk Access\u2026", ""};

// MARK: - Permissions: names, alerts, cards and their buttons

/// The name of the permission to read the volume, brightness and media keys.
inline constexpr LinuxText permissionNameInputMonitoring{"Input Monitoring", "Media Keys"};
/// The name of the permission to take those keys, so the desktop's HUD stays away.
inline constexpr LinuxText permissionNameAccessibility{"Accessibility", "Media Key Control"};
/// A button that opens the help page's section on a permission.
inline constexpr LinuxText openHelp{"Open System Settings", "Open Help"};
/// A button that opens the desktop's Bluetooth settings.
inline constexpr LinuxText openBluetoothSettings{"Open System Settings", "Open Bluetooth Settings"};
/// A button that opens the folder the calendars are read from.
inline constexpr LinuxText openCalendarsFolder{"Open System Settings", "Open Calendars Folder"};
/// The alert (and the card) when replacing the HUDs needs the media keys and another program holds them.
inline constexpr LinuxText mediaKeysHeldTitle{"Accessibility access needed", "Media keys held by another program"};
inline constexpr LinuxText mediaKeysHeldMessage{
    "To replace the system volume and brightness HUDs, Vude has to intercept those keys \u2014 which needs "
    "Accessibility access.\n\nAdd Vude in the list, turn it on, then choose \u201CReplace System HUDs\u201D again.",
    "To replace the system volume and brightness HUDs, Vude has to intercept those keys \u2014 which it can't while "
    "another program holds them.\n\nFree them in that program (usually your desktop's keyboard shortcuts), then "
    "choose \u201CReplace System HUDs\u201D again."};
/// The permission card when the keys cannot be read: only an X11 session gives them.
inline constexpr LinuxText mediaKeysUnreadableTitle{"Input Monitoring access needed", "Media keys need an X11 session"};
/// What goes without taking the media keys (permission card, onboarding row).
inline constexpr LinuxText mediaKeyControlConsequence{"Vude's HUD still appears; macOS's just appears too.",
                                                      "Vude's HUD still appears; the desktop's just appears too."};
/// The suppression card's footnote while Vude holds the keys.
inline constexpr LinuxText suppressionFootnoteHolding{
    "Vude intercepts the volume and brightness keys and applies the change itself, so macOS never shows its own HUD.",
    "Vude intercepts the volume and brightness keys and applies the change itself, so the desktop never shows its "
    "own HUD."};
/// The suppression card's footnote while another program holds the keys.
inline constexpr LinuxText suppressionFootnoteHeld{
    "Needs Accessibility access \u2014 Vude has to intercept those keys to stop macOS drawing over it.",
    "Needs the media keys to itself: another program holds them."};
/// A denied permission's button (onboarding row) for the keys: the help page's section.
inline constexpr LinuxText deniedOpenHelp{"Open Settings", "Open Help"};
/// A denied permission's button (onboarding row) for Bluetooth.
inline constexpr LinuxText deniedOpenBluetoothSettings{"Open Settings", "Open Bluetooth Settings"};

// MARK: - Capabilities a build lacks (shown where a feature is off)

inline constexpr LinuxText unavailableSandboxed{"Not available in the App Store version.",
                                                "Not available in the sandboxed version."};
inline constexpr LinuxText unavailableSystemUnsupported{"Not available on this version of macOS.",
                                                        "Not available on this system."};

// MARK: - Diagnostics report

/// The row naming the operating system: its PRETTY_NAME and the kernel release.
inline constexpr LinuxText reportSystemRow{"macOS", "System"};
/// The Model row when the firmware names no product.
inline constexpr LinuxText reportModelUnknown{"Mac", "Unknown"};
/// The Build row, by how the app was installed.
inline constexpr LinuxText reportBuildSandboxed{"App Store (sandboxed)", "Sandboxed package"};
inline constexpr LinuxText reportBuildDebianPackage{"Direct (Developer ID)", "Debian package"};
inline constexpr LinuxText reportBuildInstalledFromSource{"Direct (Developer ID)", "Built from source, installed"};
inline constexpr LinuxText reportBuildBuildTree{"Direct (Developer ID)", "Built from source, run from its build tree"};
/// The Updates row, by how the app was installed: updates come the way it came.
inline constexpr LinuxText reportUpdatesSandboxed{"App Store", "With the sandboxed package"};
inline constexpr LinuxText reportUpdatesDebianPackage{"Sparkle", "With the Debian package"};
inline constexpr LinuxText reportUpdatesFromSource{"Sparkle", "None: rebuild from source"};

// MARK: - Sync (the status line, the sync card, the developer probe)

inline constexpr LinuxText syncSignedOut{"Not signed in to iCloud", "No sync folder"};
inline constexpr LinuxText syncRestricted{"iCloud is restricted on this Mac", "The sync folder is read-only"};
inline constexpr LinuxText syncQuotaExceeded{"Your iCloud storage is full", "The sync folder is full"};
inline constexpr LinuxText syncContainerUnavailable{"Couldn't reach iCloud", "Couldn't reach the sync folder"};
/// The General pane's section title above the sync card.
inline constexpr LinuxText syncSectionTitle{"iCloud", "Sync folder"};
inline constexpr LinuxText syncRowLabel{"Sync with iCloud", "Sync through a shared folder"};
inline constexpr LinuxText syncRowFootnote{"To-dos, notes, timers and shortcuts follow your Apple Account.",
                                           "To-dos, notes, timers and shortcuts follow your sync folder."};
inline constexpr LinuxText syncLocalOnly{"Changes are being saved on this Mac only.",
                                         "Changes are being saved on this computer only."};
inline constexpr LinuxText syncPushPending{
    "Waiting for push registration \u2014 until it completes, changes from another Mac arrive only when Vude "
    "restarts.",
    "Waiting for push registration \u2014 until it completes, changes from another computer arrive only when Vude "
    "restarts."};
inline constexpr LinuxText syncPushFailed{
    "Push is unavailable, so changes from another Mac only arrive when Vude restarts.",
    "Push is unavailable, so changes from another computer only arrive when Vude restarts."};
/// The developer probe's one-line summary, its account status following.
inline constexpr LinuxText syncProbeReachable{"\u2705 CloudKit reachable (account: ",
                                              "\u2705 Sync folder reachable (account: "};
inline constexpr LinuxText syncProbeUnreachable{"\u274C CloudKit unreachable \u2014 ",
                                                "\u274C Sync folder unreachable \u2014 "};
/// The probe's detail when there is no usable account, the status following.
inline constexpr LinuxText syncProbeAccountStatus{"iCloud account is ", "sync folder status: "};
/// The probe's detail when a write or read fails, the error's code following.
inline constexpr LinuxText syncProbeError{"CKError ", "sync folder error "};

// MARK: - Drop lanes

/// The lane that sends the files to a paired phone or computer.
inline constexpr LinuxText laneKdeConnect{"AirDrop", "KDE Connect"};

// MARK: - File tray (the tray widget and its pane)

/// A chip's help text, after the file's name.
inline constexpr LinuxText trayChipHelpCopy{" \u2014 drag out to copy, \u2325 drag to move",
                                            " \u2014 drag out to copy, Alt-drag to move"};
inline constexpr LinuxText trayChipHelpMove{" \u2014 drag out to move, \u2325 drag to copy",
                                            " \u2014 drag out to move, Alt-drag to copy"};
/// A chip's context menu: shows the stored file in the file manager.
inline constexpr LinuxText trayShowInFiles{"Reveal in Finder", "Show in Files"};
/// The tray pane's explanations under its two pickers.
inline constexpr LinuxText trayDropMoves{
    "The original is removed from where it was. Hold \u2325 while dropping to copy instead.",
    "The original is removed from where it was. Hold Alt while dropping to copy instead."};
inline constexpr LinuxText trayDropCopies{
    "The original stays where it is. Hold \u2325 while dropping to move it instead.",
    "The original stays where it is. Hold Alt while dropping to move it instead."};
inline constexpr LinuxText trayDragCopies{
    "The item stays on the shelf so you can drop it somewhere else too. Hold \u2325 to take it off.",
    "The item stays on the shelf so you can drop it somewhere else too. Hold Alt to take it off."};
inline constexpr LinuxText trayDragMoves{"The item leaves the shelf once it lands. Hold \u2325 to keep a copy.",
                                         "The item leaves the shelf once it lands. Hold Alt to keep a copy."};
inline constexpr LinuxText trayLocalNote{
    "The tray is local to this Mac and isn't synced \u2014 its files are large and its paths mean nothing on another "
    "machine.",
    "The tray is local to this computer and isn't synced \u2014 its files are large and its paths mean nothing on "
    "another machine."};

// MARK: - Quick apps (the widget and its pane)

/// A tile's tooltip after the app's name, when the app is gone.
inline constexpr LinuxText quickAppsNotInstalledTooltip{" \u2014 not installed on this Mac",
                                                        " \u2014 not installed on this computer"};
inline constexpr LinuxText quickAppsNotInstalledRow{"Not installed on this Mac", "Not installed on this computer"};
inline constexpr LinuxText quickAppsLocalNote{
    "Quick Apps stay on this Mac \u2014 the apps you have installed differ from machine to machine, so syncing them "
    "would show broken tiles on the other one.",
    "Quick Apps stay on this computer \u2014 the apps you have installed differ from machine to machine, so syncing "
    "them would show broken tiles on the other one."};
/// Where the chooser starts when XDG_DATA_DIRS names no applications folder that exists.
inline constexpr LinuxText quickAppsChooserFolder{"/Applications", "/usr/share/applications"};

// MARK: - Weather widget

inline constexpr LinuxText weatherLocationDeniedDetail{"Turn it on in System Settings.", "Turn it on in Settings."};
inline constexpr LinuxText weatherAttributionHelp{"Weather data provided by Apple Weather",
                                                  "Weather data provided by Open-Meteo"};

// MARK: - Calendar (the widget and its pane)

inline constexpr LinuxText calendarWidgetRestricted{"Calendar access is restricted on this Mac",
                                                    "Calendar access is restricted on this computer"};
/// The widget's button for denied access: it opens the calendars folder.
inline constexpr LinuxText calendarWidgetOpenSettings{"Open Settings", "Open Calendars Folder"};
inline constexpr LinuxText calendarPaneWriteOnly{
    "Vude can only add events. Grant full access in System Settings to see them.",
    "Vude can only add events. Give your account read access to the calendars folder to see them."};
inline constexpr LinuxText calendarPaneRestricted{"Calendar access is restricted on this Mac.",
                                                  "Calendar access is restricted on this computer."};
inline constexpr LinuxText calendarMeetingLinksFootnote{
    "Clicking an event opens the Zoom, Meet or Teams link instead of Calendar.",
    "Clicking an event opens the Zoom, Meet or Teams link instead of your calendar app."};

// MARK: - Settings panes

/// Display pane, when no backlight can be read.
inline constexpr LinuxText displayBrightnessUnreadableTitle{"Brightness isn't readable on this Mac",
                                                            "Brightness isn't readable on this computer"};
inline constexpr LinuxText displayBrightnessUnreadableDetail{
    "Vude reads the built-in display's brightness through a private system framework. It isn't responding here, so "
    "the Display HUD is off.",
    "Vude reads the built-in display's brightness from /sys/class/backlight. No backlight answers there, so the "
    "Display HUD is off."};
/// Connectivity pane's note on device batteries.
inline constexpr LinuxText connectivityBatteryNote{
    "Battery levels come from an undocumented part of the system. When a device doesn't report one, Vude shows "
    "nothing rather than guessing.",
    "Battery levels come from what each device tells BlueZ. When a device doesn't report one, Vude shows nothing "
    "rather than guessing."};
/// Focus pane: the desktop's do-not-disturb has no named modes.
inline constexpr LinuxText focusIdentityTitle{"Vude can see Focus turn on and off, but not which mode",
                                              "Vude can see do-not-disturb turn on and off, but no mode name"};
inline constexpr LinuxText focusIdentityDetail{
    "macOS keeps the mode name in a protected file. Rather than ask for Full Disk Access, Vude shows a generic Focus "
    "pill \u2014 a Focus Filter will let it show the real name in a future update.",
    "Your desktop's do-not-disturb switch has no named modes, so Vude shows a generic Focus pill \u2014 a script can "
    "give it a name through Vude's Focus filter on the session bus."};
/// Now playing pane, when the media helper does not answer.
inline constexpr LinuxText nowPlayingHelperTitle{"Running in fallback mode", "Now playing is off"};
inline constexpr LinuxText nowPlayingHelperDetail{
    "Vude's media helper isn't responding, so it's reading Music and Spotify directly. Other apps won't appear.",
    "Vude's media helper isn't responding, so no player appears. Vude restarts the helper by itself and reads every "
    "MPRIS player once it answers."};
/// Shortcuts pane.
inline constexpr LinuxText shortcutsFoundSection{"On this Mac", "On this computer"};
inline constexpr LinuxText shortcutsSyncFootnote{"Shortcuts you add here sync to your other Macs.",
                                                 "Shortcuts you add here sync to your other computers."};
/// The start of the pane's text when no shortcut is found; see noShortcutsFound().
inline constexpr LinuxText shortcutsNoneFound{"No shortcuts found. Create one in the Shortcuts app, or add it by name.",
                                              "No shortcuts found. Put an executable in "};
/// Clipboard pane's privacy line.
inline constexpr LinuxText clipboardHistoryStaysHere{
    "History stays on this Mac. It is never synced to iCloud or to your other Macs.",
    "History stays on this computer. It is never copied to the sync folder or to your other computers."};
/// Idle and lock pane.
inline constexpr LinuxText idleStayingAwake{"Your Mac is staying awake", "Your computer is staying awake"};
inline constexpr LinuxText idleLetSleep{"Let your Mac sleep", "Let your computer sleep"};
inline constexpr LinuxText idleInhibitorFootnote{
    "It's a real power assertion \u2014 the same mechanism macOS uses itself, visible in Activity Monitor, and "
    "released the moment Vude quits. Also on the notch's right-click menu.",
    "It's a real keep-awake inhibitor \u2014 the same one video players ask the desktop for, released the moment "
    "Vude quits. Also on the notch's right-click menu."};
inline constexpr LinuxText idleLockSoundFootnote{
    "Off by default \u2014 a Mac that chirps every time you step away gets old.",
    "Off by default \u2014 a computer that chirps every time you step away gets old."};
inline constexpr LinuxText idleLockScreenFootnote{
    "Lock-screen widgets and a screen-saver surface are not built yet \u2014 macOS has no supported way for an app "
    "to draw on the real lock screen, so those need their own screen-saver bundle.",
    "Lock-screen widgets and a screen-saver surface are not built yet \u2014 the desktop's lock screen draws itself "
    "and shows no app's windows, so those would need a plugin for each desktop's screen locker."};

// MARK: - Onboarding

inline constexpr LinuxText onboardingMediaBody{
    "Music, Spotify, a browser tab. Vude reads the same now-playing information macOS uses, so it works everywhere "
    "without asking each app.",
    "Music players, Spotify, a browser tab. Vude reads the now-playing information every MPRIS player shares with the "
    "desktop, so it works everywhere without asking each app."};
inline constexpr LinuxText onboardingMediaNote{
    "Apple restricted this in macOS 15.4. Vude bundles a small helper to keep it working, and falls back to Music "
    "and Spotify directly if that ever stops.",
    "Vude bundles a small helper that reads every MPRIS player, and restarts it by itself if it ever stops."};
/// The stuck help's button, "Open " + the permission's title on the original.
inline constexpr LinuxText onboardingStuckOpenMediaKeys{"Open Input Monitoring", "Open Help"};
inline constexpr LinuxText onboardingStuckOpenBluetooth{"Open Bluetooth", "Open Bluetooth Settings"};
/// The stuck help's steps. The original's four steps walk a privacy pane; here
/// each case says what is really in the way.
/// The keys outside an X11 session.
inline constexpr LinuxText onboardingStuckKeysStep1{"Open Input Monitoring in System Settings.",
                                                    "Vude reads the keys through X11, and this session isn't X11."};
inline constexpr LinuxText onboardingStuckKeysStep2{
    "If Vude is already listed, select it and click \u2212 to remove it.",
    "Log out, and choose the X11 session at the login screen (often named \u201Con Xorg\u201D)."};
inline constexpr LinuxText onboardingStuckKeysStep3{"Click + and add Vude from your Applications folder.",
                                                    "Log in again and start Vude."};
inline constexpr LinuxText onboardingStuckKeysStep4{"Turn it on. If the switch won't move, quit Vude first.",
                                                    "The keys then work with nothing to grant."};
/// Bluetooth with no BlueZ service running.
inline constexpr LinuxText onboardingStuckNoServiceStep1{"Open Bluetooth in System Settings.",
                                                         "Vude can't reach BlueZ, the system's Bluetooth service."};
inline constexpr LinuxText onboardingStuckNoServiceStep2{
    "If Vude is already listed, select it and click \u2212 to remove it.",
    "Install the bluez package if it is missing."};
inline constexpr LinuxText onboardingStuckNoServiceStep3{"Click + and add Vude from your Applications folder.",
                                                         "Start the service: sudo systemctl start bluetooth"};
inline constexpr LinuxText onboardingStuckNoServiceStep4{"Turn it on. If the switch won't move, quit Vude first.",
                                                         "Then click Allow again."};
/// Bluetooth with the adapter switched off or blocked.
inline constexpr LinuxText onboardingStuckBlockedStep1{"Open Bluetooth in System Settings.",
                                                       "Your Bluetooth adapter is switched off or blocked."};
inline constexpr LinuxText onboardingStuckBlockedStep2{
    "If Vude is already listed, select it and click \u2212 to remove it.",
    "Turn Bluetooth on with your desktop's Bluetooth switch."};
inline constexpr LinuxText onboardingStuckBlockedStep3{
    "Click + and add Vude from your Applications folder.",
    "If it stays off, run: rfkill unblock bluetooth (this may need sudo)."};
inline constexpr LinuxText onboardingStuckBlockedStep4{"Turn it on. If the switch won't move, quit Vude first.",
                                                       "Then click Allow again."};
/// Bluetooth with no adapter at all: nothing here can help, so two steps only.
inline constexpr LinuxText onboardingStuckNoAdapterStep1{"Open Bluetooth in System Settings.",
                                                         "This computer has no Bluetooth adapter."};
inline constexpr LinuxText onboardingStuckNoAdapterStep2{
    "If Vude is already listed, select it and click \u2212 to remove it.",
    "Nothing in Vude or the desktop can change that; plug in a Bluetooth adapter to use it."};

// MARK: - The table as a whole

struct NamedText {
    std::string_view name;
    LinuxText text;
};

/// Every entry above, in order.
std::span<const NamedText> all();

// MARK: - Texts built from parts

/// `path` with the home folder written as "~" ("~/.local/share/Vude/Shortcuts");
/// any other path as it is.
std::string homeRelative(std::string_view path, std::string_view home);

/// The Shortcuts pane's text when no shortcut is found, naming the folder
/// shortcuts are read from (as homeRelative() writes it).
std::string noShortcutsFound(std::string_view shortcutsFolder);

} // namespace LinuxTexts
