#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "browser/browser_driver.h"
#include "browser/chromium_process.h"

namespace vellamark {

// Called while the driver waits on the browser (at least every 50 ms), so the caller's window
// keeps painting and its progress display moving.
using BrowserIdle = std::function<void()>;

struct ChromiumOptions {
    std::string browserPath;  // empty: VELLAMARK_BROWSER, then the usual places
    std::string profileRoot;  // folder that holds one profile per launch; empty: the user's
    BrowserIdle idle;
};

// How long the driver waits on the browser.
struct ChromiumTimeouts {
    // From the start until the window's page is attached and the window hidden: one budget for
    // all of it. A browser that is still running with its pipe open is starting, not broken; a
    // cold start on an old or busy machine can take most of a minute.
    std::chrono::milliseconds start{90000};
    // A command once the browser runs. Answered in milliseconds as a rule; this only has to
    // catch a browser that hangs, not one that is slow.
    std::chrono::milliseconds command{30000};
    // Switching things off before letting go; failures there change nothing for the user.
    std::chrono::milliseconds release{2000};
};

// A browser process just started without a window, and what driving it needs.
struct SpawnedChromium {
    std::unique_ptr<ChromiumProcess> process;
    std::string profileDir;
    std::string program;   // for messages
    bool minimise = true;  // false where the window system could not restore a minimised window
};

// Finds the browser, makes its profile and starts it without a window; does not wait for it.
[[nodiscard]] Result<SpawnedChromium> SpawnChromium(const ChromiumOptions& options);

// Makes the login's window in a spawned browser and drives it; a failure is told as the user
// needs it (which browser, what to do).
[[nodiscard]] BrowserStart DriveChromium(SpawnedChromium spawned, BrowserIdle idle);

// Both at once: a Chromium-family browser, its window hidden, driven over the DevTools
// protocol on pipes.
[[nodiscard]] BrowserStart StartChromium(const ChromiumOptions& options);

// Drives a browser process that has just been started without a window: makes the login's
// window in a context of its own (minimised unless `minimise` is false, where the window system
// could not bring it back), attaches to its page and learns its window. A process that cannot
// be driven is killed and its profile folder removed.
[[nodiscard]] BrowserStart ConnectChromiumDriver(std::unique_ptr<ChromiumProcess> process,
                                                 std::string profileDir,
                                                 const ChromiumTimeouts& timeouts = {},
                                                 BrowserIdle idle = {}, bool minimise = true);

}  // namespace vellamark
