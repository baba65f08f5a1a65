#pragma once

#include <functional>
#include <string>

#include "browser/browser_driver.h"
#include "launch/launch_ui.h"
#include "platform/local_time.h"

namespace vellamark {

// The launch values the Login command copies in.
struct MMain {
    std::string LoginUsername;
    std::string LoginPassword;
    std::string LoginPin;
};

// The program-wide flags the launch reads; each counts as on only when true.
struct LaunchFlags {
    bool DebugMode = false;
    bool CreatePage = false;
    bool IgnoreMenuBar = false;
};

// Everything the launch touches outside itself, so tests can stand in for each piece.
struct LaunchEnvironment {
    LaunchUi* ui = nullptr;
    // Starts the browser, hidden; default: Chromium. While the browser starts or answers,
    // the driver calls the idle function given here, which keeps the window painting.
    std::function<BrowserStart(std::function<void()> idle)> startBrowser;
    std::function<CivilTime()> clock;  // local time; default: the system clock
    // Re-seeds from the clock and draws r uniformly from [0, 1); default: the system generator.
    std::function<double()> random;
    std::string programFolder;  // where page files go when it is writable
    std::string tempFolder;     // where they go otherwise
    std::string serviceOrigin;  // scheme and host, no trailing slash
    std::string version;        // "major.minor.revision"
};

// Builds the version text and the check URL, runs LaunchBrowserLogin and ends the program.
void LoginToService(const MMain& values, const LaunchFlags& flags, LaunchEnvironment& env);

// The version text of this build: "3.0.38".
[[nodiscard]] std::string ProgramVersionText();

// What one launch left behind: its step log (each line ends with CR LF) and the exit code the
// program ends with (0 when the browser was shown, non-zero after a failure, which has already
// been reported in one message box).
struct LaunchOutcome {
    std::string launchLog;
    int exitCode = 0;
};

// Opens the browser, puts the login form into it or opens the login page file, and shows the
// browser. Does not end the program: LoginToService does, with the outcome's exit code. The
// credentials travel together, as the Login command copied them in.
[[nodiscard]] LaunchOutcome LaunchBrowserLogin(const std::string& checkUrl, const MMain& values,
                                               const std::string& version, const LaunchFlags& flags,
                                               LaunchEnvironment& env);

// Polls the browser every 50 ms while it is busy, at most 101 times, creeping the progress bar
// towards 100 but never above the ceiling (0..100); sets the status texts at 40 and 80.
void WaitWhileBrowserBusy(BrowserDriver& browser, LaunchUi& ui, int ceiling);

}  // namespace vellamark
