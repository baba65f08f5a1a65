#include "browser/browser_profile.h"

#include <atomic>
#include <filesystem>
#include <string_view>
#include <vector>

namespace vellamark {

namespace fs = std::filesystem;

Result<std::string> CreateLaunchProfile(const std::string& root) {
    using Created = Result<std::string>;
    if (root.empty()) {
        return Created::Fail(
            "There is no folder for the browser profile: set HOME (or XDG_CACHE_HOME; on "
            "Windows LOCALAPPDATA).");
    }
    std::error_code ec;
    fs::create_directories(root, ec);
    if (ec) {
        return Created::Fail("Could not create the browser profile folder " + root + ": " +
                             ec.message());
    }
    // The name only has to be new; time and a counter make it so, and sort by age.
    static std::atomic<unsigned> counter{0};
    const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path dir = fs::path(root) / ("launch-" + std::to_string(now) + "-" +
                                               std::to_string(counter.fetch_add(1)));
        if (fs::create_directory(dir, ec)) {
            fs::permissions(dir, fs::perms::owner_all, fs::perm_options::replace, ec);
            return dir.string();
        }
        if (ec) {
            return Created::Fail("Could not create a browser profile in " + root + ": " +
                                 ec.message());
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
    std::error_code ec;
    std::vector<fs::path> dirs;
    std::vector<fs::path> abandoned;
    for (fs::directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
        // Only the folders this launcher made: anything else in the root is somebody else's.
        std::error_code typeError;
        if (!it->is_directory(typeError) || it->is_symlink(typeError)) {
            continue;
        }
        const std::string name = it->path().filename().string();
        if (IsLaunchProfileName(name)) {
            dirs.push_back(it->path());
        } else if (name.ends_with(kProfileRemovingSuffix) &&
                   IsLaunchProfileName(std::string_view(name).substr(
                       0, name.size() - kProfileRemovingSuffix.size()))) {
            // A removal that was cut short (the program ended, or a file inside was open for a
            // moment): no browser uses a folder once it has that name.
            abandoned.push_back(it->path());
        }
    }
    int removed = 0;
    for (const auto& dir : abandoned) {
        std::error_code removeError;
        fs::remove_all(dir, removeError);
        removed += removeError ? 0 : 1;
    }
    const auto now = fs::file_time_type::clock::now();
    for (const auto& dir : dirs) {
        std::error_code timeError;
        const auto written = fs::last_write_time(dir, timeError);
        if (timeError || now - written < kProfileGrace) {
            continue;
        }
        if (RemoveProfileIfUnheld(dir.string())) {
            ++removed;
        }
    }
    return removed;
}

}  // namespace vellamark
