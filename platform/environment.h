#pragma once

#include <functional>
#include <optional>
#include <string>

namespace vellamark {

// Reads one environment variable; nullopt when it is not set. Tests pass their own.
using EnvironmentLookup = std::function<std::optional<std::string>(const std::string& name)>;

// The process's own environment.
[[nodiscard]] EnvironmentLookup ProcessEnvironment();

}  // namespace vellamark
