#pragma once
// Reading the process environment through a function, so that code deciding
// on variables such as VUDE_TRACE can be handed a fixed table in tests instead
// of the real environment.

#include <functional>
#include <map>
#include <optional>
#include <string>

namespace Environment {

/// The value of a variable, or none when it is not set. A variable set to the
/// empty text is present: its value is "".
using Lookup = std::function<std::optional<std::string>(const std::string& name)>;

/// The environment of this process, read at every call.
Lookup process();

/// A fixed table of variables (the test double).
Lookup fixed(std::map<std::string, std::string> variables);

} // namespace Environment
