#pragma once
// The now-playing adapter as it lies in its resources folder, and the command
// lines that run it. The adapter is a Perl launcher ("mediaremote-adapter.pl")
// that runs the program inside "MediaRemoteAdapter.framework"; an optional
// "MediaRemoteAdapterTestClient" backs the self-test. Every invocation is
// "/usr/bin/perl", the launcher, the framework, then the request.

#include "VudeServices/MediaCommand.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct MediaAdapterLayout {
    static constexpr std::string_view kFolderName = "mediaremote-adapter";
    static constexpr std::string_view kScriptName = "mediaremote-adapter.pl";
    static constexpr std::string_view kFrameworkName = "MediaRemoteAdapter.framework";
    static constexpr std::string_view kTestClientName = "MediaRemoteAdapterTestClient";
    static constexpr std::string_view kInterpreter = "/usr/bin/perl";
    /// Asks the streaming adapter to coalesce updates that come this close
    /// together (milliseconds).
    static constexpr int kDebounceMilliseconds = 120;

    std::filesystem::path scriptURL;
    std::filesystem::path frameworkURL;
    /// None when the folder has no test client.
    std::optional<std::filesystem::path> testClientURL;

    /// The layout of `resourcesDirectory`; none unless something exists at
    /// both the launcher's and the framework's paths.
    static std::optional<MediaAdapterLayout> find(const std::filesystem::path& resourcesDirectory);

    /// The streaming adapter: launcher, framework, "stream", "--debounce=120".
    std::vector<std::string> streamArguments() const;
    /// The self-test: launcher, framework, test client, "test". Only with a
    /// test client.
    std::vector<std::string> testArguments() const;
    /// One command: launcher, framework, then the command's own arguments.
    std::vector<std::string> commandArguments(const MediaCommand& command) const;
};
