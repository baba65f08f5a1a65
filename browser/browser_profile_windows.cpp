#include <windows.h>

#include <string>

#include "browser/browser_profile.h"
#include "platform/files.h"
#include "platform/text.h"

namespace vellamark {

bool ProfileHeldByBrowser(const std::string& profileDir) {
    // A running Chromium keeps the profile's "lockfile" open without sharing delete access.
    const std::wstring lock = WideFromUtf8(JoinPath(profileDir, "lockfile"));
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
    const std::string doomed = profileDir + std::string(kProfileRemovingSuffix);
    if (!Rename(profileDir, doomed)) {
        return false;
    }
    return RemoveTree(doomed).ok();
}

}  // namespace vellamark
