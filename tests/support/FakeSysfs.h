#pragma once
// A scratch /sys for backlight tests: panel backlights and LEDs with the
// attribute files the kernel gives them, in a temporary folder.

#include <QTemporaryDir>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

namespace testsupport {

class FakeSysfs {
public:
    std::filesystem::path root() const { return m_dir.path().toStdString(); }

    /// Adds <root>/class/backlight/<name> with its type, brightness and max.
    std::filesystem::path addBacklight(const std::string& name, const std::string& type, std::uint32_t brightness,
                                       std::uint32_t maxBrightness)
    {
        const auto folder = root() / "class" / "backlight" / name;
        std::filesystem::create_directories(folder);
        write(folder / "type", type + "\n");
        write(folder / "brightness", std::to_string(brightness) + "\n");
        write(folder / "max_brightness", std::to_string(maxBrightness) + "\n");
        return folder;
    }

    /// Adds <root>/class/leds/<name> with its brightness and max.
    std::filesystem::path addLed(const std::string& name, std::uint32_t brightness, std::uint32_t maxBrightness)
    {
        const auto folder = root() / "class" / "leds" / name;
        std::filesystem::create_directories(folder);
        write(folder / "brightness", std::to_string(brightness) + "\n");
        write(folder / "max_brightness", std::to_string(maxBrightness) + "\n");
        return folder;
    }

    /// Writes a file whole, as the kernel would show it.
    static void write(const std::filesystem::path& path, const std::string& text)
    {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    }

    /// The brightness file's text, trimmed; none when it cannot be read.
    static std::optional<std::string> brightness(const std::filesystem::path& folder)
    {
        std::ifstream file(folder / "brightness", std::ios::binary);
        if (!file)
            return std::nullopt;
        std::stringstream text;
        text << file.rdbuf();
        std::string value = text.str();
        while (!value.empty() && (value.back() == '\n' || value.back() == ' '))
            value.pop_back();
        return value;
    }

    static void setBrightness(const std::filesystem::path& folder, std::uint32_t value)
    {
        write(folder / "brightness", std::to_string(value) + "\n");
    }

    /// Takes every write permission off the brightness file, as the kernel
    /// does for an attribute it cannot store.
    static void makeReadOnly(const std::filesystem::path& folder)
    {
        std::filesystem::permissions(folder / "brightness", std::filesystem::perms::owner_read |
                                                                std::filesystem::perms::group_read |
                                                                std::filesystem::perms::others_read);
    }

private:
    QTemporaryDir m_dir;
};

} // namespace testsupport
