#include "app/working_folders.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace vellamark {

namespace fs = std::filesystem;

WorkingFolders DefaultWorkingFolders() {
#ifdef _WIN32
    return {"c:\\vellamark", "c:\\vellamark\\temp"};
#else
    fs::path base;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && data[0] == '/') {
        base = data;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
        base = fs::path(home) / ".local" / "share";
    } else {
        base = fs::temp_directory_path();
    }
    const fs::path main = base / "vellamark";
    return {main.string(), (main / "temp").string()};
#endif
}

namespace {

std::optional<std::string> EnsureFolder(const std::string& folder, bool withParents) {
    std::error_code error;
    if (fs::exists(fs::symlink_status(folder, error))) {
        // Something of that name is there: it is left alone, as the folder it should be.
        return std::nullopt;
    }
    // The data folder above the first one may be missing on a fresh account.
    if (withParents) {
        fs::create_directories(fs::path(folder).parent_path(), error);
        error.clear();
    }
    if (!fs::create_directory(folder, error) && error) {
        return "The working folder \"" + folder + "\" could not be created: " + error.message() +
               ".";
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> EnsureWorkingFolders(const WorkingFolders& folders) {
    if (auto failure = EnsureFolder(folders.main, true)) {
        return failure;
    }
    return EnsureFolder(folders.temp, false);
}

}  // namespace vellamark
