#include <unistd.h>

#include <filesystem>

#include "browser/browser_locator.h"

namespace vellamark {

namespace fs = std::filesystem;

bool IsRunnableFile(const std::string& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec) && ::access(path.c_str(), X_OK) == 0;
}

std::vector<std::string> BrowserCandidates(const EnvironmentLookup& env) {
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
    // Earlier names win over earlier folders: a Chromium anywhere on PATH beats Chrome.
    std::vector<std::string> out;
    for (const char* name : {"chromium", "chromium-browser", "google-chrome",
                             "google-chrome-stable", "microsoft-edge", "brave-browser"}) {
        for (const auto& dir : dirs) {
            out.push_back((fs::path(dir) / name).string());
        }
    }
    return out;
}

}  // namespace vellamark
