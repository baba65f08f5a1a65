#pragma once

#include <string>
#include <vector>

#include "platform/environment.h"
#include "platform/result.h"

namespace vellamark {

// The browser's program: VELLAMARK_BROWSER when set; otherwise the first Chromium-family
// browser found (Linux: on PATH; Windows: in the usual install folders). Fails with the
// message that says which browsers work and how to point to one.
[[nodiscard]] Result<std::string> LocateBrowser(const EnvironmentLookup& env);

// The message for a machine without a usable browser.
[[nodiscard]] std::string NoBrowserMessage();

// The places this system's browsers are looked for, best first (one file per system).
[[nodiscard]] std::vector<std::string> BrowserCandidates(const EnvironmentLookup& env);
// True for a file this user may run.
[[nodiscard]] bool IsRunnableFile(const std::string& path);

}  // namespace vellamark
