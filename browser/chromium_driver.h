#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "browser/browser_driver.h"

namespace vellamark {

class ChromiumProcess;

struct ChromiumOptions {
    std::string browserPath;  // empty: VELLAMARK_BROWSER, then the usual places
    std::string profileRoot;  // folder that holds one profile per launch; empty: the user's
};

// How long the driver waits on the browser.
struct ChromiumTimeouts {
    // A fresh profile's first start can take a few seconds on a slow machine.
    std::chrono::milliseconds start{15000};
    // Single commands are answered in milliseconds: this only has to catch a hung browser.
    std::chrono::milliseconds command{5000};
    // Switching things off before letting go; failures there change nothing for the user.
    std::chrono::milliseconds release{2000};
};

// Starts a Chromium-family browser, hidden, driven over the DevTools protocol on pipes.
[[nodiscard]] BrowserStart StartChromium(const ChromiumOptions& options);

// Drives a browser process that has just been started on the app window: finds the window's
// page, attaches to it and learns its window. A process that cannot be driven is killed and
// its profile folder removed.
[[nodiscard]] BrowserStart ConnectChromiumDriver(std::unique_ptr<ChromiumProcess> process,
                                                 std::string profileDir,
                                                 const ChromiumTimeouts& timeouts = {});

}  // namespace vellamark
