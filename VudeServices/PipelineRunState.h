#pragma once
// What the pipeline banner shows: a run in progress, the last run's result
// or failure, or nothing.

#include "VudeServices/PipelineResult.h"

#include <string>
#include <variant>

class PipelineRunState {
public:
    struct Running {
        std::string title;
        /// 0...1.
        double fraction = 0;
        std::string detail;
        bool operator==(const Running&) const = default;
    };
    struct Finished {
        PipelineResult result;
        bool operator==(const Finished&) const = default;
    };
    struct Failed {
        std::string message;
        bool operator==(const Failed&) const = default;
    };
    struct Idle {
        bool operator==(const Idle&) const = default;
    };
    using Value = std::variant<Running, Finished, Failed, Idle>;

    static PipelineRunState running(std::string title, double fraction, std::string detail)
    {
        return PipelineRunState(Running{std::move(title), fraction, std::move(detail)});
    }
    static PipelineRunState finished(PipelineResult result) { return PipelineRunState(Finished{std::move(result)}); }
    static PipelineRunState failed(std::string message) { return PipelineRunState(Failed{std::move(message)}); }
    static PipelineRunState idle() { return PipelineRunState(Idle{}); }

    const Value& value() const { return m_value; }
    template <typename Case>
    const Case* as() const { return std::get_if<Case>(&m_value); }

    bool operator==(const PipelineRunState&) const = default;

private:
    explicit PipelineRunState(Value value) : m_value(std::move(value)) {}
    Value m_value;
};
