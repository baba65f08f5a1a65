#pragma once

#include <functional>
#include <optional>
#include <string>

namespace vellamark {

// Reads one environment variable; nullopt when it is not set. Tests pass their own.
using EnvironmentLookup = std::function<std::optional<std::string>(const std::string& name)>;

// The process's own environment.
[[nodiscard]] EnvironmentLookup ProcessEnvironment();

struct BrowserLocation {
    std::string path;   // empty when none was found
    std::string error;  // which browsers work and how to point to one
};

// VELLAMARK_BROWSER when set; otherwise the first Chromium-family browser on PATH (Windows:
// in the usual install folders).
[[nodiscard]] BrowserLocation LocateBrowser(const EnvironmentLookup& env);

// The message for a machine without a usable browser.
[[nodiscard]] std::string NoBrowserMessage();

}  // namespace vellamark
