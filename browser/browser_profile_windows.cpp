#include <windows.h>

#include <filesystem>
#include <string>

#include "browser/browser_profile.h"

namespace vellamark {

namespace fs = std::filesystem;

bool ProfileHeldByBrowser(const std::string& profileDir) {
    // A running Chromium keeps the profile's "lockfile" open without sharing delete access.
    const auto lock = fs::path(profileDir) / "lockfile";
    HANDLE h = ::CreateFileW(lock.c_str(), DELETE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                             nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return ::GetLastError() == ERROR_SHARING_VIOLATION;
    }
    ::CloseHandle(h);
    return false;
}

bool RemoveProfileIfUnheld(const std::string& profileDir) {
    if (ProfileHeldByBrowser(profileDir)) {
        return false;
    }
    // Renaming first fails while any file inside is open, so a browser starting on it now
    // cannot lose half its profile under it.
    std::error_code ec;
    const fs::path doomed = fs::path(profileDir).string() + std::string(kProfileRemovingSuffix);
    fs::rename(profileDir, doomed, ec);
    if (ec) {
        return false;
    }
    fs::remove_all(doomed, ec);
    return !ec;
}

}  // namespace vellamark
