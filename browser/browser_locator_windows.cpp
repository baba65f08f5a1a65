#include <filesystem>

#include "browser/browser_locator.h"
#include "platform/text.h"

namespace vellamark {

namespace fs = std::filesystem;

bool IsRunnableFile(const std::string& path) {
    std::error_code ec;
    return fs::is_regular_file(fs::path(WideFromUtf8(path)), ec);
}

std::vector<std::string> BrowserCandidates(const EnvironmentLookup& env) {
    std::vector<std::string> out;
    const char* folders[] = {"ProgramFiles", "ProgramFiles(x86)", "LOCALAPPDATA"};
    const char* programs[] = {"Microsoft\\Edge\\Application\\msedge.exe",
                              "Google\\Chrome\\Application\\chrome.exe",
                              "Chromium\\Application\\chrome.exe",
                              "BraveSoftware\\Brave-Browser\\Application\\brave.exe"};
    for (const char* program : programs) {
        for (const char* folder : folders) {
            if (auto base = env(folder); base && !base->empty()) {
                out.push_back(*base + "\\" + program);
            }
        }
    }
    return out;
}

}  // namespace vellamark
