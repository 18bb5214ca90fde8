#pragma once
// Rules the drop pipelines share: which files are images, how outputs are
// named, how a run walks its inputs, how outputs are written, and how a
// system tool is run.

#include "Platform/Images/ImageFormat.h"
#include "VudeServices/DropPipeline.h"

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace PipelineSupport {

/// The image formats the image pipelines take.
inline constexpr auto imageTypes = allCases<ImageFormat>();

/// Whether the file's extension names one of imageTypes, ignoring case. The
/// content is never looked at; no extension means no image.
bool isImage(const std::filesystem::path& url);

/// The image pipelines' acceptance: a non-empty list of images only.
bool acceptsImages(const std::vector<std::filesystem::path>& urls);

/// The last path component ("photo.heic").
std::string fileName(const std::filesystem::path& url);
/// The last path component without its extension ("photo").
std::string stem(const std::filesystem::path& url);
/// The extension without its point, letter case kept ("JPG"); empty for none.
std::string extension(const std::filesystem::path& url);

/// "name.extension" in `folder`, or "name-1.extension", "name-2.extension"...,
/// the first that nothing occupies (a dangling symlink occupies its name; one
/// that cannot be looked up, too long say, counts as free). An
/// empty name becomes "file"; an empty extension gives "name", "name-1"...
/// Nothing is created: write at once, with writeNewFile().
std::filesystem::path uniqueURL(const std::filesystem::path& folder, std::string_view name,
                                std::string_view extension);

/// Writes `bytes` as the new file `destination`: all of it or nothing, never
/// in place of anything. Fails with writeFailed and the file's name.
Expected<void, PipelineError> writeNewFile(const std::filesystem::path& destination, std::string_view bytes);

/// The run every per-file pipeline shares: noInput for an empty list; for
/// input i of n, progress i/n with its name, then `produce`; the first
/// failure ends the run (earlier outputs stay on disk); at the end "Done" at
/// 1.0 and the outputs in input order.
PipelineRunResult runEach(const std::vector<std::filesystem::path>& urls, const ProgressReporter& progress,
                          const std::function<Expected<std::filesystem::path, PipelineFailure>(
                              const std::filesystem::path& input)>& produce);

/// Our own wording of a file system error (an errno value) met while trying
/// to `action` ("copy", "create the folder") the item `name`, on the side
/// that failed: "Couldn't copy report.pdf because you don't have
/// permission." Never the system's raw text alone.
std::string fileErrorDescription(std::string_view action, std::string_view name, int code, bool whileReading);

/// Runs the executable at `tool` with `arguments`, as given, without a shell,
/// and waits for it. Its standard output is discarded and its error output
/// kept for the message: a non-zero exit fails with toolFailed carrying that
/// text trimmed, or "Exited with " and the status when it wrote nothing.
Expected<void, PipelineError> shell(const std::filesystem::path& tool, const std::vector<std::string>& arguments);

} // namespace PipelineSupport
