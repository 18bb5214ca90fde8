#include "Vude/App/DeveloperHooks.h"

#include "VudeKit/DebugActivitySource.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <system_error>

namespace DeveloperHooks {

namespace {

std::optional<std::string> valueOf(const Environment::Lookup& environment, const char* name)
{
    return environment ? environment(name) : std::nullopt;
}

std::filesystem::path absoluteAgainst(const std::filesystem::path& path, const std::filesystem::path& workingDirectory)
{
    return path.is_absolute() ? path : workingDirectory / path;
}

} // namespace

bool isSet(const Environment::Lookup& environment, const char* name)
{
    return valueOf(environment, name).has_value();
}

std::optional<ActivityKind> demoKind(const Environment::Lookup& environment)
{
    const auto value = valueOf(environment, kDemo);
    if (!value)
        return std::nullopt;
    return enumFromRaw<ActivityKind>(*value);
}

ActivityPayload demoPayload(ActivityKind kind, Date now)
{
    const ActivityPayload sample = DebugActivitySource::make(kind, now);
    return ActivityPayload(Uuid::random(), sample.kind(), ActivityPriority::interrupt, std::nullopt, sample.leading(),
                           sample.title(), sample.subtitle(), sample.trailing(), kDemoDuration, std::nullopt, now);
}

std::vector<std::filesystem::path> seedTrayFolderContents(const Environment::Lookup& environment,
                                                          const std::filesystem::path& workingDirectory)
{
    const auto value = valueOf(environment, kSeedTray);
    if (!value || value->empty())
        return {};
    std::error_code error;
    const auto folder = absoluteAgainst(*value, workingDirectory);
    std::filesystem::directory_iterator entries(folder, error);
    if (error)
        return {};
    std::vector<std::filesystem::path> contents;
    for (const auto& entry : entries)
        contents.push_back(entry.path());
    std::sort(contents.begin(), contents.end());
    return contents;
}

std::optional<std::vector<std::filesystem::path>> seedTrayPaths(const Environment::Lookup& environment,
                                                                const std::filesystem::path& workingDirectory)
{
    const auto value = valueOf(environment, kSeedTray);
    if (!value)
        return std::nullopt;
    std::vector<std::filesystem::path> paths;
    std::string_view rest = *value;
    while (true) {
        const auto colon = rest.find(':');
        const std::string_view piece = rest.substr(0, colon);
        if (!piece.empty())
            paths.push_back(absoluteAgainst(std::filesystem::path(piece), workingDirectory));
        if (colon == std::string_view::npos)
            break;
        rest.remove_prefix(colon + 1);
    }
    return paths;
}

SettingsPane settingsPane(const Environment::Lookup& environment)
{
    const auto value = valueOf(environment, kSettings);
    if (!value)
        return SettingsPane::general;
    return enumFromRaw<SettingsPane>(*value).value_or(SettingsPane::general);
}

std::optional<bool> openOnTray(const Environment::Lookup& environment)
{
    const auto value = valueOf(environment, kOpen);
    if (!value)
        return std::nullopt;
    return *value == "tray";
}

std::optional<std::string> seedTodo(const Environment::Lookup& environment)
{
    return valueOf(environment, kSeedTodo);
}

std::optional<int> onboardingStep(const Environment::Lookup& environment)
{
    const auto value = valueOf(environment, kOnboarding);
    if (!value)
        return std::nullopt;
    const auto number = parseStrictInteger(*value);
    if (!number || *number < 0 || *number > kLastOnboardingStep)
        return std::nullopt;
    return static_cast<int>(*number);
}

std::optional<std::int64_t> parseStrictInteger(std::string_view text)
{
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    // from_chars takes no sign of its own here, so "+-3" and "--3" fail.
    if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    std::uint64_t magnitude = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    constexpr auto maximum = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    if (!negative && magnitude > maximum)
        return std::nullopt;
    if (negative && magnitude > maximum + 1)
        return std::nullopt;
    if (negative)
        return magnitude == maximum + 1 ? std::numeric_limits<std::int64_t>::min()
                                        : -static_cast<std::int64_t>(magnitude);
    return static_cast<std::int64_t>(magnitude);
}

} // namespace DeveloperHooks
