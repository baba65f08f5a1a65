#include "browser/browser_profile.h"

#include <atomic>
#include <string_view>
#include <vector>

#include "platform/files.h"

namespace vellamark {

Result<std::string> CreateLaunchProfile(const std::string& root) {
    using Created = Result<std::string>;
    if (root.empty()) {
        return Created::Fail(
            "There is no folder for the browser profile: set HOME (or XDG_CACHE_HOME; on "
            "Windows LOCALAPPDATA).");
    }
    if (const Status made = CreateFolders(root); !made) {
        return Created::Fail("Could not create the browser profile folder " + root + ": " +
                             made.error());
    }
    // The name only has to be new; time and a counter make it so, and sort by age.
    static std::atomic<unsigned> counter{0};
    const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string dir = JoinPath(
            root, "launch-" + std::to_string(now) + "-" + std::to_string(counter.fetch_add(1)));
        const Result<bool> made = CreateFolder(dir, FolderAccess::kOwnerOnly);
        if (!made) {
            return Created::Fail("Could not create a browser profile in " + root + ": " +
                                 made.error());
        }
        if (*made) {
            return dir;
        }
    }
    return Created::Fail("Could not find a free name for a browser profile in " + root + ".");
}

bool IsLaunchProfileName(std::string_view name) {
    // "launch-" + milliseconds + "-" + counter, as CreateLaunchProfile names them.
    constexpr std::string_view prefix = "launch-";
    if (!name.starts_with(prefix)) {
        return false;
    }
    name.remove_prefix(prefix.size());
    const auto dash = name.find('-');
    if (dash == std::string_view::npos || dash == 0 || dash + 1 == name.size()) {
        return false;
    }
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (i != dash && (name[i] < '0' || name[i] > '9')) {
            return false;
        }
    }
    return true;
}

int RemoveStaleProfiles(const std::string& root) {
    const auto entries = ListFolder(root);
    if (!entries) {
        return 0;
    }
    std::vector<std::string> dirs;
    std::vector<std::string> abandoned;
    for (const FolderEntry& entry : *entries) {
        // Only the folders this launcher made: anything else in the root is somebody else's.
        if (entry.kind != FileKind::kFolder) {
            continue;
        }
        const std::string& name = entry.name;
        if (IsLaunchProfileName(name)) {
            dirs.push_back(JoinPath(root, name));
        } else if (name.ends_with(kProfileRemovingSuffix) &&
                   IsLaunchProfileName(std::string_view(name).substr(
                       0, name.size() - kProfileRemovingSuffix.size()))) {
            // A removal that was cut short (the program ended, or a file inside was open for a
            // moment): no browser uses a folder once it has that name.
            abandoned.push_back(JoinPath(root, name));
        }
    }
    int removed = 0;
    for (const auto& dir : abandoned) {
        removed += RemoveTree(dir).ok() ? 1 : 0;
    }
    const auto now = std::chrono::system_clock::now();
    for (const auto& dir : dirs) {
        const auto written = LastWriteTime(dir);
        if (!written || now - *written < kProfileGrace) {
            continue;
        }
        if (RemoveProfileIfUnheld(dir)) {
            ++removed;
        }
    }
    return removed;
}

}  // namespace vellamark
