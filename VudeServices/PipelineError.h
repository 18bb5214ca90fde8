#pragma once
// The errors the drop pipelines report for their own failures, each with the
// message the pipeline banner shows. File names in them are last path
// components ("photo.heic"), never whole paths.

#include "VudeKit/Expected.h"

#include <string>
#include <variant>

class PipelineError {
public:
    struct ReadFailed {
        std::string fileName;
        bool operator==(const ReadFailed&) const = default;
    };
    struct WriteFailed {
        std::string fileName;
        bool operator==(const WriteFailed&) const = default;
    };
    struct ToolFailed {
        std::string message;
        bool operator==(const ToolFailed&) const = default;
    };
    struct Unsupported {
        bool operator==(const Unsupported&) const = default;
    };
    struct NoInput {
        bool operator==(const NoInput&) const = default;
    };
    using Value = std::variant<ReadFailed, WriteFailed, ToolFailed, Unsupported, NoInput>;

    static PipelineError readFailed(std::string fileName) { return PipelineError(ReadFailed{std::move(fileName)}); }
    static PipelineError writeFailed(std::string fileName) { return PipelineError(WriteFailed{std::move(fileName)}); }
    static PipelineError toolFailed(std::string message) { return PipelineError(ToolFailed{std::move(message)}); }
    static PipelineError unsupported() { return PipelineError(Unsupported{}); }
    static PipelineError noInput() { return PipelineError(NoInput{}); }

    const Value& value() const { return m_value; }
    template <typename Case>
    const Case* as() const { return std::get_if<Case>(&m_value); }

    /// "Couldn't read photo.heic", "Nothing to work on", a tool's own text...
    std::string errorDescription() const;

    bool operator==(const PipelineError&) const = default;

private:
    // Expected<void, PipelineError> keeps an unused error in its value state.
    friend class Expected<void, PipelineError>;
    PipelineError() = default;
    explicit PipelineError(Value value) : m_value(std::move(value)) {}
    Value m_value;
};

/// Why a run failed: a pipeline's own error, or another error passed through
/// unchanged (a file system error while copying or creating a folder) with
/// its own description.
class PipelineFailure {
public:
    PipelineFailure(PipelineError error) : m_value(std::move(error)) {}
    static PipelineFailure other(std::string description) { return PipelineFailure(Other{std::move(description)}); }

    /// The pipeline's own error, or nullptr for another error.
    const PipelineError* pipelineError() const { return std::get_if<PipelineError>(&m_value); }
    /// The text the runner shows.
    std::string message() const;

    bool operator==(const PipelineFailure&) const = default;

private:
    struct Other {
        std::string description;
        bool operator==(const Other&) const = default;
    };
    explicit PipelineFailure(Other other) : m_value(std::move(other)) {}
    std::variant<PipelineError, Other> m_value;
};
