#include "VudeServices/PipelineSupport.h"

#include "Platform/Core/NewFile.h"
#include "Platform/Core/ToolProcess.h"
#include "VudeKit/Numbers.h"

#include <QString>

#include <cerrno>
#include <cstring>

namespace fs = std::filesystem;

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

std::string fileErrorDescription(std::string_view action, std::string_view name, int code, bool whileReading)
{
    std::string reason;
    switch (code) {
    case EACCES:
    case EPERM:
        reason = "you don't have permission";
        break;
    case ENOENT:
    case ENOTDIR:
        reason = whileReading ? "it no longer exists" : "the folder it goes in is missing";
        break;
    case ENOSPC:
    case EDQUOT:
        reason = "there isn't enough space";
        break;
    case EROFS:
        reason = "the disk is read-only";
        break;
    case ENAMETOOLONG:
        reason = "the name is too long";
        break;
    case EEXIST:
        reason = "an item with that name already exists";
        break;
    case ENOTSUP:
        reason = "it is neither a file nor a folder";
        break;
    case ELOOP:
        reason = "it is a link that leads nowhere";
        break;
    default: {
        // The system's own short text, but inside our sentence.
        std::string text = std::strerror(code);
        if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z')
            text[0] = static_cast<char>(text[0] - 'A' + 'a');
        reason = "of an error (" + text + ")";
    }
    }
    return "Couldn't " + std::string(action) + " " + std::string(name) + " because " + reason + ".";
}

Expected<void, PipelineError> shell(const fs::path& tool, const std::vector<std::string>& arguments)
{
    ToolProcess::Request request;
    request.tool = tool;
    request.arguments = arguments;
    request.keepStandardError = true;
    request.keptBytes = maxKeptErrorBytes;
    const auto result = ToolProcess::run(request);
    if (!result) {
        const char* what = result.error().stage == ToolProcess::Failure::Stage::start ? "Couldn't start " : "Lost track of ";
        return unexpected(PipelineError::toolFailed(what + fileName(tool) + ": " + std::strerror(result.error().error)));
    }
    if (result->succeeded())
        return {};

    const int code = result->signal != 0 ? result->signal : result->code;
    const std::string& errorOutput = result->standardError;
    const std::string message = QString::fromUtf8(errorOutput.data(), static_cast<qsizetype>(errorOutput.size()))
                                    .trimmed()
                                    .toStdString();
    return unexpected(PipelineError::toolFailed(message.empty() ? "Exited with " + formatInteger(code) : message));
}

} // namespace PipelineSupport
