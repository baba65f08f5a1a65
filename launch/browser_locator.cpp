#include "launch/browser_locator.h"

#include <cstdlib>
#include <filesystem>
#include <vector>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace vellamark {

namespace {

namespace fs = std::filesystem;

bool IsExecutableFile(const fs::path& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) {
        return false;
    }
#ifdef _WIN32
    return true;
#else
    return ::access(path.c_str(), X_OK) == 0;
#endif
}

#ifdef _WIN32
std::vector<fs::path> Candidates(const EnvironmentLookup& env) {
    std::vector<fs::path> out;
    const char* folders[] = {"ProgramFiles", "ProgramFiles(x86)", "LOCALAPPDATA"};
    const char* programs[] = {"Microsoft\\Edge\\Application\\msedge.exe",
                              "Google\\Chrome\\Application\\chrome.exe",
                              "Chromium\\Application\\chrome.exe",
                              "BraveSoftware\\Brave-Browser\\Application\\brave.exe"};
    for (const char* program : programs) {
        for (const char* folder : folders) {
            if (auto base = env(folder); base && !base->empty()) {
                out.push_back(fs::path(*base) / program);
            }
        }
    }
    return out;
}
#else
std::vector<fs::path> Candidates(const EnvironmentLookup& env) {
    std::vector<fs::path> out;
    const std::string path = env("PATH").value_or("/usr/local/bin:/usr/bin:/bin");
    std::vector<std::string> dirs;
    std::size_t start = 0;
    for (;;) {
        const auto colon = path.find(':', start);
        std::string dir = path.substr(start, colon - start);
        dirs.push_back(dir.empty() ? "." : dir);  // an empty entry means the working folder
        if (colon == std::string::npos) {
            break;
        }
        start = colon + 1;
    }
    for (const char* name : {"chromium", "chromium-browser", "google-chrome",
                             "google-chrome-stable", "microsoft-edge", "brave-browser"}) {
        for (const auto& dir : dirs) {
            out.push_back(fs::path(dir) / name);
        }
    }
    return out;
}
#endif

}  // namespace

EnvironmentLookup ProcessEnvironment() {
    return [](const std::string& name) -> std::optional<std::string> {
        if (const char* value = std::getenv(name.c_str())) {
            return std::string(value);
        }
        return std::nullopt;
    };
}

std::string NoBrowserMessage() {
    return "No supported web browser was found. Vellamark works with Chromium, Google Chrome, "
           "Microsoft Edge and Brave: install one of them, or set the environment variable "
           "VELLAMARK_BROWSER to the full path of the browser's program.";
}

BrowserLocation LocateBrowser(const EnvironmentLookup& env) {
    if (auto chosen = env("VELLAMARK_BROWSER"); chosen && !chosen->empty()) {
        if (IsExecutableFile(*chosen)) {
            return {*chosen, {}};
        }
        // A wrong setting is reported rather than passed over for another browser.
        return {{},
                "VELLAMARK_BROWSER is set to \"" + *chosen +
                    "\", which is not a program that can be run. Set it to the full path of "
                    "Chromium, Google Chrome, Microsoft Edge or Brave, or unset it to use the "
                    "browser found on this system."};
    }
    // Earlier names win over earlier folders: a Chromium anywhere on PATH beats Chrome.
    for (const auto& candidate : Candidates(env)) {
        if (IsExecutableFile(candidate)) {
            return {candidate.string(), {}};
        }
    }
    return {{}, NoBrowserMessage()};
}

}  // namespace vellamark
