#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "browser/browser_profile.h"

namespace vellamark {

namespace fs = std::filesystem;

bool ProfileHeldByBrowser(const std::string& profileDir) {
    // Chromium marks a profile in use with the link SingletonLock -> "<host>-<pid>".
    std::error_code ec;
    const auto target = fs::read_symlink(fs::path(profileDir) / "SingletonLock", ec).string();
    if (ec) {
        return false;
    }
    const auto dash = target.rfind('-');
    if (dash == std::string::npos) {
        return true;  // a lock we cannot read: leave the profile alone
    }
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    if (target.substr(0, dash) != host) {
        return true;  // held on another machine sharing this folder, as far as we can tell
    }
    long pid = 0;
    try {
        pid = std::stol(target.substr(dash + 1));
    } catch (...) {
        return true;
    }
    if (pid <= 0) {
        return true;
    }
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

bool RemoveProfileIfUnheld(const std::string& profileDir) {
    if (ProfileHeldByBrowser(profileDir)) {
        return false;
    }
    std::error_code ec;
    fs::remove_all(profileDir, ec);
    return !ec;
}

}  // namespace vellamark
