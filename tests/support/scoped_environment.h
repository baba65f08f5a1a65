#pragma once

#include <optional>
#include <string>

namespace vellamark::testsupport {

// Sets (or, with nullopt, unsets) one variable of the process's environment for one scope and
// puts the previous state back.
class ScopedEnvironment {
public:
    ScopedEnvironment(std::string name, const std::optional<std::string>& value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    static void Set(const std::string& name, const std::optional<std::string>& value);

    std::string name_;
    std::optional<std::string> previous_;
};

}  // namespace vellamark::testsupport
