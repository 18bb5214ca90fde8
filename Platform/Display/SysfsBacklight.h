#pragma once
// The kernel's backlight devices: the built-in panel under
// <sys>/class/backlight/* and the keyboard under <sys>/class/leds/*::kbd_backlight*.
// The level is brightness / max_brightness. Setting goes through logind when
// it is given and takes it, otherwise into the device's brightness file when
// the file may be written.
//
// A set never waits for logind. While it has not answered, the level reads
// as the newest value asked, so key presses step on from each other; sets
// made meanwhile are merged into one that follows the answer. When logind
// refuses or does not answer, the file is written instead.

#include "Platform/Display/Backlight.h"
#include "Platform/Display/LogindBrightness.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct BacklightDevice {
    /// "backlight" for a panel, "leds" for a keyboard (logind's subsystem).
    std::string subsystem{};
    /// The device's folder name ("intel_backlight", "tpacpi::kbd_backlight").
    std::string name{};
    /// A panel's "firmware", "platform" or "raw"; "" for a keyboard.
    std::string type{};
    std::filesystem::path folder{};
    /// The top raw value, above 0.
    std::uint32_t maxBrightness = 0;

    bool operator==(const BacklightDevice&) const = default;
};

class SysfsBacklight final : public Backlight {
public:
    enum class Kind { display, keyboard };

    /// Finds the device of `kind` under `sysRoot` ("/sys" on a running system).
    /// A panel: the first of the firmware, then platform, then raw devices, by
    /// name within a type. A keyboard: the first LED named "…::kbd_backlight…"
    /// by name. Devices without a positive max_brightness are passed over.
    /// `logind` may be null: the device file is then written directly.
    SysfsBacklight(Kind kind, const std::filesystem::path& sysRoot, std::shared_ptr<LogindBrightness> logind);

    /// The device chosen, if any.
    const std::optional<BacklightDevice>& device() const { return m_device; }

    static std::optional<BacklightDevice> find(Kind kind, const std::filesystem::path& sysRoot);

    /// The raw value to write for `level` on a device at `current` (none when
    /// unreadable) of `maxBrightness`: the nearest step, but one whole step
    /// toward a level that differs from the current one and rounds to it.
    static std::uint32_t rawValueFor(double level, std::optional<std::uint32_t> current, std::uint32_t maxBrightness);

    bool isAvailable() const override { return m_device.has_value(); }
    std::optional<double> level() const override;
    /// Writes rawValueFor(level, ...), counted from a set still under way, so
    /// a keyboard with three steps still moves on a 1/16 key step. True when
    /// the file was written or logind was asked; false without a device or
    /// when the file could not be written.
    bool setLevel(double level) override;
    /// Told whether the device took a set: at once when the file was written,
    /// from the event loop once logind has answered. Runs exactly once.
    using Done = std::function<void(bool taken)>;
    /// setLevel(), with `done` told the outcome.
    bool setLevel(double level, Done done);
    /// "sysfs backlight intel_backlight (firmware), set through logind",
    /// "sysfs leds tpacpi::kbd_backlight, set directly", or "none".
    std::string description() const override;

private:
    struct Setting;

    std::optional<std::uint32_t> rawBrightness() const;
    static void ask(const std::shared_ptr<Setting>& setting, std::uint32_t value, std::vector<Done> done);
    static void settle(const std::shared_ptr<Setting>& setting, std::uint32_t value, std::vector<Done> done,
                       bool takenByLogind);

    std::optional<BacklightDevice> m_device;
    std::shared_ptr<LogindBrightness> m_logind;
    // Shared with logind's answers, which may come after the backlight is gone.
    std::shared_ptr<Setting> m_setting;
};
