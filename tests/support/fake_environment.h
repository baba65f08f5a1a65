#pragma once

#include <map>
#include <optional>
#include <string>

#include "platform/environment.h"

namespace vellamark::testsupport {

// An environment of exactly these variables.
inline EnvironmentLookup FakeEnvironment(std::map<std::string, std::string> values) {
    return [values = std::move(values)](const std::string& name) -> std::optional<std::string> {
        if (auto it = values.find(name); it != values.end()) {
            return it->second;
        }
        return std::nullopt;
    };
}

}  // namespace vellamark::testsupport
