#include "platform/environment.h"

#include <cstdlib>

namespace vellamark {

EnvironmentLookup ProcessEnvironment() {
    return [](const std::string& name) -> std::optional<std::string> {
        if (const char* value = std::getenv(name.c_str())) {
            return std::string(value);
        }
        return std::nullopt;
    };
}

}  // namespace vellamark
