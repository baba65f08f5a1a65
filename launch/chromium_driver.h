#pragma once

#include <string>

#include "launch/browser_driver.h"

namespace vellamark {

struct ChromiumOptions {
    std::string browserPath;  // empty: VELLAMARK_BROWSER, then the usual names on PATH
    std::string profileRoot;  // folder that holds one profile per launch
};

// Starts a Chromium-family browser, hidden, driven over the DevTools protocol on pipes.
[[nodiscard]] BrowserStart StartChromium(const ChromiumOptions& options);

}  // namespace vellamark
