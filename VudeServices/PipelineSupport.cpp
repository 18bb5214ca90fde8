#include "VudeServices/PipelineSupport.h"

#include "Platform/Core/NewFile.h"
#include "VudeKit/Numbers.h"

#include <QString>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

extern char** environ;

namespace {

// A folder's URL may end in a slash; its name is still its last component.
fs::path lastComponent(const fs::path& url)
{
    return url.has_filename() ? url.filename() : url.parent_path().filename();
}

bool isOccupied(const fs::path& candidate)
{
    std::error_code error;
    // A name that cannot be checked (too long, say) is left to the write,
    // which never replaces; counting past it would never end.
    return fs::exists(fs::symlink_status(candidate, error));
}

// Keeps the start of a tool's error output; a tool that writes megabytes of it
// still ends, because the rest is read and dropped.
constexpr std::size_t maxKeptErrorBytes = 64 * 1024;

std::string readAll(int fd)
{
    std::string kept;
    char buffer[4096];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return kept;
        const std::size_t room = maxKeptErrorBytes - std::min(maxKeptErrorBytes, kept.size());
        kept.append(buffer, std::min(room, static_cast<std::size_t>(count)));
    }
}

} // namespace

namespace PipelineSupport {

bool isImage(const fs::path& url)
{
    const std::string ext = extension(url);
    return !ext.empty() && imageFormatForExtension(ext).has_value();
}

bool acceptsImages(const std::vector<fs::path>& urls)
{
    return !urls.empty() && std::all_of(urls.begin(), urls.end(), [](const fs::path& url) { return isImage(url); });
}

std::string fileName(const fs::path& url)
{
    return lastComponent(url).string();
}

std::string stem(const fs::path& url)
{
    return lastComponent(url).stem().string();
}

std::string extension(const fs::path& url)
{
    const std::string ext = lastComponent(url).extension().string();
    return ext.empty() ? ext : ext.substr(1);
}

fs::path uniqueURL(const fs::path& folder, std::string_view name, std::string_view extension)
{
    const std::string base = name.empty() ? std::string("file") : std::string(name);
    const auto candidate = [&](const std::string& stem) {
        return folder / (extension.empty() ? stem : stem + "." + std::string(extension));
    };
    fs::path url = candidate(base);
    for (std::int64_t n = 1; isOccupied(url); ++n)
        url = candidate(base + "-" + formatInteger(n));
    return url;
}

Expected<void, PipelineError> writeNewFile(const fs::path& destination, std::string_view bytes)
{
    const auto failed = [&destination] { return unexpected(PipelineError::writeFailed(fileName(destination))); };
    auto file = NewFile::create(destination.parent_path());
    if (!file || !file->write(bytes) || !file->commit(destination))
        return failed();
    return {};
}

PipelineRunResult runEach(const std::vector<fs::path>& urls, const ProgressReporter& progress,
                          const std::function<Expected<fs::path, PipelineFailure>(const fs::path& input)>& produce)
{
    if (urls.empty())
        return unexpected(PipelineFailure(PipelineError::noInput()));
    std::vector<fs::path> outputs;
    outputs.reserve(urls.size());
    for (std::size_t i = 0; i < urls.size(); ++i) {
        progress(double(i) / double(urls.size()), fileName(urls[i]));
        auto output = produce(urls[i]);
        if (!output)
            return unexpected(output.error());
        outputs.push_back(std::move(*output));
    }
    progress(1.0, "Done");
    return outputs;
}

Expected<void, PipelineError> shell(const fs::path& tool, const std::vector<std::string>& arguments)
{
    int errorPipe[2];
    if (::pipe2(errorPipe, O_CLOEXEC) != 0)
        return unexpected(PipelineError::toolFailed("Couldn't start " + fileName(tool) + ": " + std::strerror(errno)));

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, errorPipe[1], STDERR_FILENO);
    // Descriptors the app holds open (files half-written on other threads) stay ours.
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);

    std::vector<std::string> argumentStorage;
    argumentStorage.reserve(arguments.size() + 1);
    argumentStorage.push_back(tool.string());
    argumentStorage.insert(argumentStorage.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& argument : argumentStorage)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    pid_t child = 0;
    const int spawned = ::posix_spawn(&child, tool.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(errorPipe[1]);
    if (spawned != 0) {
        ::close(errorPipe[0]);
        return unexpected(PipelineError::toolFailed("Couldn't start " + fileName(tool) + ": " + std::strerror(spawned)));
    }

    const std::string errorOutput = readAll(errorPipe[0]);
    ::close(errorPipe[0]);
    int status = 0;
    pid_t waited = 0;
    do {
        waited = ::waitpid(child, &status, 0);
    } while (waited < 0 && errno == EINTR);
    if (waited < 0)
        return unexpected(PipelineError::toolFailed("Lost track of " + fileName(tool) + ": " + std::strerror(errno)));
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? WTERMSIG(status) : -1;
    if (WIFEXITED(status) && code == 0)
        return {};

    const std::string message = QString::fromUtf8(errorOutput.data(), static_cast<qsizetype>(errorOutput.size()))
                                    .trimmed()
                                    .toStdString();
    return unexpected(PipelineError::toolFailed(message.empty() ? "Exited with " + formatInteger(code) : message));
}

} // namespace PipelineSupport
