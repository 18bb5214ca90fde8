#include "VudeServices/MediaAdapterLayout.h"

#include "VudeKit/Numbers.h"

#include <system_error>

namespace {

bool somethingAt(const std::filesystem::path& path)
{
    std::error_code error;
    return std::filesystem::exists(path, error);
}

} // namespace

std::optional<MediaAdapterLayout> MediaAdapterLayout::find(const std::filesystem::path& resourcesDirectory)
{
    MediaAdapterLayout layout;
    layout.scriptURL = resourcesDirectory / kScriptName;
    layout.frameworkURL = resourcesDirectory / kFrameworkName;
    if (!somethingAt(layout.scriptURL) || !somethingAt(layout.frameworkURL))
        return std::nullopt;
    if (auto client = resourcesDirectory / kTestClientName; somethingAt(client))
        layout.testClientURL = std::move(client);
    return layout;
}

std::vector<std::string> MediaAdapterLayout::streamArguments() const
{
    return {scriptURL.string(), frameworkURL.string(), "stream",
            "--debounce=" + formatInteger(kDebounceMilliseconds)};
}

std::vector<std::string> MediaAdapterLayout::testArguments() const
{
    return {scriptURL.string(), frameworkURL.string(), testClientURL.value_or("").string(), "test"};
}

std::vector<std::string> MediaAdapterLayout::commandArguments(const MediaCommand& command) const
{
    std::vector<std::string> arguments{scriptURL.string(), frameworkURL.string()};
    for (auto& argument : command.adapterArguments())
        arguments.push_back(std::move(argument));
    return arguments;
}
