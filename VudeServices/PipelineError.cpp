#include "VudeServices/PipelineError.h"

namespace {

template <typename... Handlers>
struct Overloaded : Handlers... {
    using Handlers::operator()...;
};

} // namespace

std::string PipelineError::errorDescription() const
{
    return std::visit(Overloaded{
                          [](const ReadFailed& error) { return "Couldn't read " + error.fileName; },
                          [](const WriteFailed& error) { return "Couldn't write " + error.fileName; },
                          [](const ToolFailed& error) { return error.message; },
                          [](const Unsupported&) { return std::string("Those files aren't supported here"); },
                          [](const NoInput&) { return std::string("Nothing to work on"); },
                      },
                      m_value);
}

std::string PipelineFailure::message() const
{
    if (const auto* error = pipelineError())
        return error->errorDescription();
    return std::get<Other>(m_value).description;
}
