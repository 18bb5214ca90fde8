#include "Platform/Display/SysfsBacklight.h"

#include "VudeKit/Numbers.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <mutex>
#include <utility>
#include <string_view>
#include <system_error>
#include <tuple>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Reads a small attribute file. Opened without blocking and checked to be a
// regular file first, so a FIFO or device node planted at the path cannot
// hang the poll.
std::optional<std::string> readAttribute(const fs::path& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return std::nullopt;
    struct stat info {};
    std::optional<std::string> result;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        std::array<char, 64> buffer{};
        ssize_t count;
        do {
            count = ::read(fd, buffer.data(), buffer.size());
        } while (count < 0 && errno == EINTR);
        if (count >= 0)
            result = std::string(buffer.data(), std::size_t(count));
    }
    ::close(fd);
    return result;
}

std::string_view trimmed(std::string_view text)
{
    constexpr std::string_view space = " \t\r\n";
    const auto first = text.find_first_not_of(space);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(space) - first + 1);
}

std::optional<std::uint32_t> readNumber(const fs::path& path)
{
    const auto text = readAttribute(path);
    if (!text)
        return std::nullopt;
    const std::string_view digits = trimmed(*text);
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size() || digits.empty())
        return std::nullopt;
    return value;
}

int typeRank(std::string_view type)
{
    if (type == "firmware")
        return 0;
    if (type == "platform")
        return 1;
    if (type == "raw")
        return 2;
    return 3;
}

// Writes the device's brightness file; false when it may not be written.
bool writeBrightness(const fs::path& folder, std::uint32_t value)
{
    const fs::path path = folder / "brightness";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW);
    if (fd < 0)
        return false;
    // A file without any write permission is read-only by intent (the kernel
    // marks attributes it cannot store that way), even for root, who could
    // open it anyway.
    struct stat info {};
    bool written = false;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0) {
        // Emptied only once it is known to be writable. The kernel's own
        // files have no size to cut, so a refusal here changes nothing.
        if (::ftruncate(fd, 0) != 0) {
        }
        const std::string text = formatInteger(value) + "\n";
        ssize_t count;
        do {
            count = ::pwrite(fd, text.data(), text.size(), 0);
        } while (count < 0 && errno == EINTR);
        written = count == ssize_t(text.size());
    }
    if (::close(fd) != 0)
        written = false;
    return written;
}

bool isKeyboardLed(std::string_view name)
{
    const auto at = name.find("::kbd_backlight");
    return at != std::string_view::npos && at > 0;
}

} // namespace

struct SysfsBacklight::Setting {
    std::optional<BacklightDevice> device;
    std::shared_ptr<LogindBrightness> logind;

    std::mutex lock; // level() reads `pending` on the poll's thread
    // The newest value asked while logind has not answered.
    std::optional<std::uint32_t> pending;
    // Main thread only: a call to logind is under way; what follows it.
    bool asking = false;
    std::optional<std::uint32_t> next;
    std::vector<Done> nextDone;
};

SysfsBacklight::SysfsBacklight(Kind kind, const fs::path& sysRoot, std::shared_ptr<LogindBrightness> logind)
    : m_device(find(kind, sysRoot)), m_logind(std::move(logind)), m_setting(std::make_shared<Setting>())
{
    m_setting->device = m_device;
    m_setting->logind = m_logind;
}

std::optional<BacklightDevice> SysfsBacklight::find(Kind kind, const fs::path& sysRoot)
{
    const std::string subsystem = kind == Kind::display ? "backlight" : "leds";
    std::vector<BacklightDevice> candidates;
    std::error_code error;
    for (fs::directory_iterator entry(sysRoot / "class" / subsystem, error), end; !error && entry != end;
         entry.increment(error)) {
        BacklightDevice device;
        device.subsystem = subsystem;
        device.name = entry->path().filename().string();
        device.folder = entry->path();
        if (kind == Kind::keyboard && !isKeyboardLed(device.name))
            continue;
        const auto max = readNumber(device.folder / "max_brightness");
        if (!max || *max == 0)
            continue;
        device.maxBrightness = *max;
        if (kind == Kind::display)
            device.type = std::string(trimmed(readAttribute(device.folder / "type").value_or("")));
        candidates.push_back(std::move(device));
    }
    if (candidates.empty())
        return std::nullopt;
    return *std::ranges::min_element(candidates, {}, [](const BacklightDevice& device) {
        return std::tuple(typeRank(device.type), device.name);
    });
}

std::optional<std::uint32_t> SysfsBacklight::rawBrightness() const
{
    if (!m_device)
        return std::nullopt;
    return readNumber(m_device->folder / "brightness");
}

std::optional<double> SysfsBacklight::level() const
{
    std::optional<std::uint32_t> raw;
    {
        std::scoped_lock lock(m_setting->lock);
        raw = m_setting->pending;
    }
    if (!raw)
        raw = rawBrightness();
    if (!raw)
        return std::nullopt;
    return double(*raw) / double(m_device->maxBrightness);
}

std::uint32_t SysfsBacklight::rawValueFor(double level, std::optional<std::uint32_t> current,
                                          std::uint32_t maxBrightness)
{
    const double max = maxBrightness;
    const double wanted = clampedOrLower(level, 0, 1);
    const auto nearest = std::uint32_t(std::lround(wanted * max));
    if (!current || *current > maxBrightness || nearest != *current)
        return nearest;
    // The step asked for is smaller than the device's: take one whole step.
    const double currentLevel = double(*current) / max;
    constexpr double sameLevel = 1e-9;
    if (wanted > currentLevel + sameLevel && *current < maxBrightness)
        return *current + 1;
    if (wanted < currentLevel - sameLevel && *current > 0)
        return *current - 1;
    return nearest;
}

bool SysfsBacklight::setLevel(double level)
{
    return setLevel(level, {});
}

bool SysfsBacklight::setLevel(double level, Done done)
{
    if (!m_device) {
        if (done)
            done(false);
        return false;
    }
    Setting& setting = *m_setting;
    std::optional<std::uint32_t> current;
    {
        std::scoped_lock lock(setting.lock);
        current = setting.pending;
    }
    if (!current)
        current = rawBrightness();
    const std::uint32_t value = rawValueFor(level, current, m_device->maxBrightness);
    if (setting.asking) {
        // Only the newest value matters once logind answers.
        std::scoped_lock lock(setting.lock);
        setting.pending = value;
        setting.next = value;
        setting.nextDone.push_back(std::move(done));
        return true;
    }
    if (m_logind) {
        std::vector<Done> waiting;
        waiting.push_back(std::move(done));
        ask(m_setting, value, std::move(waiting));
        return true;
    }
    const bool written = writeBrightness(m_device->folder, value);
    if (done)
        done(written);
    return written;
}

void SysfsBacklight::ask(const std::shared_ptr<Setting>& setting, std::uint32_t value, std::vector<Done> done)
{
    {
        std::scoped_lock lock(setting->lock);
        setting->pending = value;
    }
    setting->asking = true;
    const std::weak_ptr<Setting> weak = setting;
    const auto& device = *setting->device;
    const bool asked = setting->logind &&
        setting->logind->setBrightness(device.subsystem, device.name, value, [weak, value, done](bool taken) {
            if (const auto alive = weak.lock())
                settle(alive, value, done, taken);
        });
    if (!asked)
        settle(setting, value, std::move(done), false);
}

void SysfsBacklight::settle(const std::shared_ptr<Setting>& setting, std::uint32_t value, std::vector<Done> done,
                            bool takenByLogind)
{
    const bool taken = takenByLogind || writeBrightness(setting->device->folder, value);
    for (const auto& tell : done)
        if (tell)
            tell(taken);
    std::optional<std::uint32_t> next;
    std::vector<Done> nextDone;
    {
        std::scoped_lock lock(setting->lock);
        next = std::exchange(setting->next, std::nullopt);
        nextDone = std::exchange(setting->nextDone, {});
        if (!next) {
            setting->pending.reset();
            setting->asking = false;
            return;
        }
    }
    ask(setting, *next, std::move(nextDone));
}

std::string SysfsBacklight::description() const
{
    if (!m_device)
        return "none";
    std::string text = "sysfs " + m_device->subsystem + " " + m_device->name;
    if (!m_device->type.empty())
        text += " (" + m_device->type + ")";
    text += m_logind ? ", set through logind" : ", set directly";
    return text;
}
