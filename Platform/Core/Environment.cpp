#include "Platform/Core/Environment.h"

#include <cstdlib>

namespace Environment {

Lookup process()
{
    return [](const std::string& name) -> std::optional<std::string> {
        const char* value = std::getenv(name.c_str());
        if (!value)
            return std::nullopt;
        return std::string(value);
    };
}

Lookup fixed(std::map<std::string, std::string> variables)
{
    return [variables = std::move(variables)](const std::string& name) -> std::optional<std::string> {
        const auto found = variables.find(name);
        if (found == variables.end())
            return std::nullopt;
        return found->second;
    };
}

} // namespace Environment
