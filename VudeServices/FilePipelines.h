#pragma once
// The four drop pipelines that take files of any kind: Zip (one archive of
// everything dropped), Unzip (a folder per dropped archive), Rename (copies
// under names made from a pattern) and Copy path (the paths, one a line, on
// the clipboard). None changes a dropped file.

#include "Platform/Core/ZipArchive.h"
#include "VudeKit/Date.h"
#include "VudeServices/DropPipeline.h"

#include <cstddef>
#include <functional>

class Pasteboard;

class ZipPipeline final : public DropPipeline {
public:
    PipelineID id() const override { return PipelineID::zip; }
    std::string title() const override { return "Zip"; }
    std::string symbol() const override { return "doc.zipper"; }
    bool accepts(const std::vector<std::filesystem::path>& urls) const override;
    /// One archive: "<stem>.zip" for one input, "Archive.zip" for several,
    /// each input kept under its own name (a folder with its content).
    PipelineRunResult run(const std::vector<std::filesystem::path>& urls, const std::filesystem::path& folder,
                          const ProgressReporter& progress) const override;
};

class UnzipPipeline final : public DropPipeline {
public:
    /// `limits` bound what one archive may write (see ZipArchive).
    explicit UnzipPipeline(ZipArchive::Limits limits = {}) : m_limits(limits) {}

    PipelineID id() const override { return PipelineID::unzip; }
    std::string title() const override { return "Unzip"; }
    std::string symbol() const override { return "arrow.up.bin"; }
    /// Archives only: every extension "zip", ignoring case.
    bool accepts(const std::vector<std::filesystem::path>& urls) const override;
    /// A folder "<stem>.unzipped" per archive, in input order. A hostile
    /// archive is refused; what it wrote safely before stays in its folder.
    PipelineRunResult run(const std::vector<std::filesystem::path>& urls, const std::filesystem::path& folder,
                          const ProgressReporter& progress) const override;

private:
    ZipArchive::Limits m_limits;
};

class RenamePipeline final : public DropPipeline {
public:
    using DateProvider = std::function<Date()>;

    /// `dateProvider` is asked once per run, on the run's thread.
    explicit RenamePipeline(std::string pattern = "{name}-{n}", DateProvider dateProvider = {});

    PipelineID id() const override { return PipelineID::rename; }
    std::string title() const override { return "Rename"; }
    std::string symbol() const override { return "textformat"; }
    bool accepts(const std::vector<std::filesystem::path>& urls) const override;
    /// A copy of each input named by the pattern, with the input's own
    /// extension; the dropped files keep their names and places.
    PipelineRunResult run(const std::vector<std::filesystem::path>& urls, const std::filesystem::path& folder,
                          const ProgressReporter& progress) const override;

    /// The pattern with every "{name}" (the stem), then "{n}" (index + 1),
    /// "{ext}" (the extension, without its point) and "{date}" (yyyy-MM-dd
    /// in the local time zone) replaced, in that order; later steps also
    /// replace in what earlier ones put in.
    std::string name(const std::filesystem::path& url, std::size_t index, Date date) const;

    const std::string& pattern() const { return m_pattern; }

private:
    std::string m_pattern;
    DateProvider m_dateProvider;
};

class CopyPathsPipeline final : public DropPipeline {
public:
    /// Writes through `pasteboard`, which must outlive every run; without
    /// one, through the application's clipboard.
    explicit CopyPathsPipeline(Pasteboard* pasteboard = nullptr) : m_pasteboard(pasteboard) {}

    PipelineID id() const override { return PipelineID::copyPaths; }
    std::string title() const override { return "Copy path"; }
    std::string symbol() const override { return "doc.on.clipboard"; }
    bool accepts(const std::vector<std::filesystem::path>& urls) const override;
    /// Puts the joined paths on the clipboard (on the main thread, waiting
    /// for it when run elsewhere) and produces no file.
    PipelineRunResult run(const std::vector<std::filesystem::path>& urls, const std::filesystem::path& folder,
                          const ProgressReporter& progress) const override;

    /// The paths in drop order, one a line, no line feed after the last.
    static std::string joinedPaths(const std::vector<std::filesystem::path>& urls);

private:
    Pasteboard* m_pasteboard;
};
