#include <windows.h>

#include "browser/browser_locator.h"
#include "platform/files.h"
#include "platform/text.h"

namespace vellamark {

namespace {

// The programs the launcher can drive, best first: Edge comes with Windows.
constexpr const wchar_t* kAppPathPrograms[] = {L"msedge.exe", L"chrome.exe"};

// The default value of an App Paths entry ("...\App Paths\msedge.exe"), which installers set to
// the program's full path; empty when there is none.
std::string AppPath(HKEY root, REGSAM view, const wchar_t* program) {
    const std::wstring key =
        std::wstring(L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\") + program;
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE | view, &opened) != ERROR_SUCCESS) {
        return {};
    }
    wchar_t value[MAX_PATH * 2] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    // Read as stored (an expandable string may not be asked for otherwise), then expanded.
    const LONG read =
        RegGetValueW(opened, nullptr, nullptr, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND,
                     nullptr, value, &size);
    RegCloseKey(opened);
    if (read != ERROR_SUCCESS) {
        return {};
    }
    wchar_t expanded[MAX_PATH * 2] = {};
    const DWORD length = ExpandEnvironmentStringsW(value, expanded, MAX_PATH * 2);
    std::wstring path = length > 0 && length <= MAX_PATH * 2 ? expanded : value;
    // Some installers write the path in quotes.
    if (path.size() >= 2 && path.front() == L'"' && path.back() == L'"') {
        path = path.substr(1, path.size() - 2);
    }
    return Utf8FromWide(path);
}

}  // namespace

bool IsRunnableFile(const std::string& path) {
    return KindFollowingLinks(path) == FileKind::kFile;
}

std::vector<std::string> BrowserCandidates(const EnvironmentLookup& env) {
    std::vector<std::string> out;
    // The App Paths entries, this user's before the machine's (both registry views there).
    for (const wchar_t* program : kAppPathPrograms) {
        for (const auto& [root, view] : {std::pair{HKEY_CURRENT_USER, REGSAM{0}},
                                         std::pair{HKEY_LOCAL_MACHINE, REGSAM{KEY_WOW64_64KEY}},
                                         std::pair{HKEY_LOCAL_MACHINE, REGSAM{KEY_WOW64_32KEY}}}) {
            if (std::string path = AppPath(root, view, program); !path.empty()) {
                out.push_back(std::move(path));
            }
        }
    }
    // Then where the browsers install themselves.
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
