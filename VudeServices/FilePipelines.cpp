#include "VudeServices/FilePipelines.h"

#include "Platform/Core/FileCopy.h"
#include "Platform/Core/MainThread.h"
#include "Platform/Desktop/QtPasteboard.h"
#include "VudeKit/AsciiCase.h"
#include "VudeKit/ClockSource.h"
#include "VudeKit/Numbers.h"
#include "VudeServices/PipelineSupport.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPointer>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <memory>
#include <mutex>
#include <optional>

#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

using Kind = ZipArchive::Failure::Kind;

// A name taken by someone else between choosing and writing is chosen again,
// this many times at most.
constexpr int maxNameAttempts = 100;
// How long a run off the main thread waits for the clipboard there.
constexpr auto clipboardWait = std::chrono::seconds(5);

bool hasZipExtension(const fs::path& url)
{
    std::string extension = PipelineSupport::extension(url);
    for (char& c : extension)
        c = asciiLower(c);
    return extension == "zip";
}

PipelineFailure zipFailure(const ZipArchive::Failure& failure, const std::string& archiveName)
{
    switch (failure.kind) {
    case Kind::readFailed:
        return PipelineError::readFailed(failure.name);
    case Kind::writeFailed:
        return PipelineError::writeFailed(failure.name);
    case Kind::unsafeEntry:
        return PipelineError::toolFailed("Unsafe entry in " + archiveName + ": " + failure.name);
    case Kind::unsafeLink:
        return PipelineError::toolFailed("Unsafe link in " + archiveName + ": " + failure.name + " -> " + failure.detail);
    case Kind::tooLarge:
        return PipelineError::toolFailed(archiveName + " expands too much to unpack safely");
    case Kind::noSpace:
        return PipelineError::toolFailed("Not enough disk space to unpack " + archiveName);
    case Kind::encrypted:
        return PipelineError::toolFailed(archiveName + " is password-protected");
    case Kind::duplicateEntry:
        return PipelineError::toolFailed(archiveName + " holds " + failure.name + " twice");
    case Kind::notFileOrFolder:
        return PipelineError::toolFailed(failure.name + " is " + failure.detail + ", not a file or folder");
    case Kind::unavailable:
        return PipelineError::toolFailed(failure.detail);
    }
    return PipelineError::readFailed(archiveName);
}

std::string replacingAll(std::string text, std::string_view token, std::string_view value)
{
    for (std::size_t at = text.find(token); at != std::string::npos; at = text.find(token, at + value.size()))
        text.replace(at, token.size(), value);
    return text;
}

std::string paddedInteger(long value, std::size_t width)
{
    std::string text = formatInteger(static_cast<std::int64_t>(value));
    if (text.size() < width)
        text.insert(0, width - text.size(), '0');
    return text;
}

std::string localDay(Date date)
{
    const auto seconds = std::chrono::floor<std::chrono::seconds>(date).time_since_epoch().count();
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm local {};
    ::localtime_r(&time, &local);
    return paddedInteger(local.tm_year + 1900L, 4) + "-" + paddedInteger(local.tm_mon + 1L, 2) + "-"
           + paddedInteger(local.tm_mday, 2);
}

// A name from the pattern is one name in the output folder, never a path.
std::string asFileName(std::string name)
{
    std::replace(name.begin(), name.end(), '/', '-');
    if (name == "." || name == "..")
        return {};
    return name;
}

// The application's clipboard, made on first use on the main thread; none
// in a program without a GUI.
Pasteboard* applicationPasteboard()
{
    static QPointer<QtPasteboard> pasteboard;
    if (!pasteboard && qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        auto made = QtPasteboard::forApplication();
        made->setParent(QCoreApplication::instance());
        pasteboard = made.release();
    }
    return pasteboard.data();
}

// The answer of work posted to the main thread; false when the work was
// dropped unrun.
class MainThreadAnswer {
public:
    void set(bool value)
    {
        {
            std::lock_guard lock(m_mutex);
            if (m_value)
                return;
            m_value = value;
        }
        m_changed.notify_all();
    }
    std::optional<bool> waitFor(std::chrono::milliseconds timeout)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, timeout, [this] { return m_value.has_value(); });
        return m_value;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::optional<bool> m_value;
};

} // namespace

bool ZipPipeline::accepts(const std::vector<fs::path>& urls) const
{
    return !urls.empty();
}

PipelineRunResult ZipPipeline::run(const std::vector<fs::path>& urls, const fs::path& folder,
                                   const ProgressReporter& progress) const
{
    if (urls.empty())
        return unexpected(PipelineFailure(PipelineError::noInput()));
    progress(0.1, "Compressing");
    const std::string name = urls.size() == 1 ? PipelineSupport::stem(urls.front()) : "Archive";
    const auto chooseName = [&] { return PipelineSupport::uniqueURL(folder, name, "zip"); };
    const fs::path destination = chooseName();
    const auto archive = ZipArchive::create(urls, destination, chooseName);
    if (!archive)
        return unexpected(zipFailure(archive.error(), PipelineSupport::fileName(destination)));
    progress(1.0, "Done");
    return std::vector<fs::path>{*archive};
}

bool UnzipPipeline::accepts(const std::vector<fs::path>& urls) const
{
    return !urls.empty() && std::all_of(urls.begin(), urls.end(), hasZipExtension);
}

PipelineRunResult UnzipPipeline::run(const std::vector<fs::path>& urls, const fs::path& folder,
                                     const ProgressReporter& progress) const
{
    return PipelineSupport::runEach(urls, progress, [&](const fs::path& input) -> Expected<fs::path, PipelineFailure> {
        std::error_code ignored;
        fs::create_directories(folder, ignored);
        // The folder is made by this run alone: a name taken meanwhile is chosen again.
        fs::path unpacked;
        for (int attempt = 0;; ++attempt) {
            unpacked = PipelineSupport::uniqueURL(folder, PipelineSupport::stem(input), "unzipped");
            if (::mkdir(unpacked.c_str(), 0755) == 0)
                break;
            const int error = errno;
            if (error != EEXIST || attempt == maxNameAttempts)
                return unexpected(PipelineFailure::other(PipelineSupport::fileErrorDescription(
                    "create the folder", PipelineSupport::fileName(unpacked), error, false)));
        }
        if (const auto extracted = ZipArchive::extract(input, unpacked, m_limits); !extracted)
            return unexpected(zipFailure(extracted.error(), PipelineSupport::fileName(input)));
        return unpacked;
    });
}

RenamePipeline::RenamePipeline(std::string pattern, DateProvider dateProvider)
    : m_pattern(std::move(pattern))
    , m_dateProvider(dateProvider ? std::move(dateProvider) : [] { return SystemClock().now(); })
{
}

bool RenamePipeline::accepts(const std::vector<fs::path>& urls) const
{
    return !urls.empty();
}

std::string RenamePipeline::name(const fs::path& url, std::size_t index, Date date) const
{
    std::string result = replacingAll(m_pattern, "{name}", PipelineSupport::stem(url));
    result = replacingAll(std::move(result), "{n}", formatInteger(static_cast<std::int64_t>(index) + 1));
    result = replacingAll(std::move(result), "{ext}", PipelineSupport::extension(url));
    return replacingAll(std::move(result), "{date}", localDay(date));
}

PipelineRunResult RenamePipeline::run(const std::vector<fs::path>& urls, const fs::path& folder,
                                      const ProgressReporter& progress) const
{
    if (urls.empty())
        return unexpected(PipelineFailure(PipelineError::noInput()));
    const Date date = m_dateProvider();
    std::vector<fs::path> outputs;
    for (std::size_t i = 0; i < urls.size(); ++i) {
        const fs::path& input = urls[i];
        progress(double(i) / double(urls.size()), PipelineSupport::fileName(input));
        const std::string stem = asFileName(name(input, i, date));
        const std::string extension = PipelineSupport::extension(input);
        for (int attempt = 0;; ++attempt) {
            const fs::path output = PipelineSupport::uniqueURL(folder, stem, extension);
            const auto copied = FileCopy::copy(input, output);
            if (copied) {
                outputs.push_back(output);
                break;
            }
            const auto& error = copied.error();
            const bool whileReading = error.side == FileCopy::Error::Side::source;
            if (!whileReading && error.code == EEXIST && attempt < maxNameAttempts)
                continue;
            return unexpected(PipelineFailure::other(PipelineSupport::fileErrorDescription(
                "copy", PipelineSupport::fileName(input), error.code, whileReading)));
        }
    }
    progress(1.0, "Done");
    return outputs;
}

bool CopyPathsPipeline::accepts(const std::vector<fs::path>& urls) const
{
    return !urls.empty();
}

std::string CopyPathsPipeline::joinedPaths(const std::vector<fs::path>& urls)
{
    std::string joined;
    for (std::size_t i = 0; i < urls.size(); ++i) {
        std::string path = urls[i].string();
        // A folder's URL may end in a slash; its path does not.
        while (path.size() > 1 && path.back() == '/')
            path.pop_back();
        if (i > 0)
            joined += '\n';
        joined += path;
    }
    return joined;
}

PipelineRunResult CopyPathsPipeline::run(const std::vector<fs::path>& urls, const fs::path&,
                                         const ProgressReporter& progress) const
{
    if (urls.empty())
        return unexpected(PipelineFailure(PipelineError::noInput()));
    const std::string text = joinedPaths(urls);
    Pasteboard* given = m_pasteboard;
    const auto write = [given, text]() {
        Pasteboard* pasteboard = given ? given : applicationPasteboard();
        if (!pasteboard || !pasteboard->isAvailable())
            return false;
        pasteboard->clearContents();
        pasteboard->writeString(text);
        return true;
    };

    bool written = false;
    if (isMainThread()) {
        written = write();
    } else {
        auto answer = std::make_shared<MainThreadAnswer>();
        // Answers false when the work is dropped unrun (the app is going).
        struct Unanswered {
            std::shared_ptr<MainThreadAnswer> answer;
            ~Unanswered() { answer->set(false); }
        };
        auto unanswered = std::make_shared<Unanswered>(answer);
        postToMainThread([write, answer, unanswered] { answer->set(write()); });
        unanswered.reset();
        const auto reply = answer->waitFor(clipboardWait);
        if (!reply)
            return unexpected(PipelineFailure(PipelineError::toolFailed("The clipboard didn't answer")));
        written = *reply;
    }
    if (!written)
        return unexpected(PipelineFailure(PipelineError::toolFailed("The clipboard isn't available")));
    progress(1.0, "Copied");
    return std::vector<fs::path>{};
}
