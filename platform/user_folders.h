#pragma once

#include <string>

#include "platform/environment.h"
#include "platform/result.h"

namespace vellamark {

// This user's standard folders. Linux: $XDG_CONFIG_HOME, $XDG_DATA_HOME and $XDG_CACHE_HOME
// when they hold an absolute path, otherwise ~/.config, ~/.local/share and ~/.cache (HOME, or
// the home folder of the user database). Windows: %APPDATA% for config, %LOCALAPPDATA% for data
// and cache (the shell's known folders when the variables are missing).
enum class UserFolder { kConfig, kData, kCache };

[[nodiscard]] Result<std::string> UserFolderPath(UserFolder which, const EnvironmentLookup& env);

// The launcher's own places, named here and nowhere else.

// The two working folders startup makes sure of. On Windows "c:\vellamark" where this user may
// write there (finding that out may create it), otherwise <data>\vellamark as on Linux.
struct WorkingFolders {
    std::string main;  // <data>/vellamark
    std::string temp;  // its subfolder "temp"
};
[[nodiscard]] Result<WorkingFolders> LauncherWorkingFolders(const EnvironmentLookup& env);

// The settings database of systems without a registry: <config>/vellamark/registry.sqlite3.
[[nodiscard]] Result<std::string> LauncherStoreFile(const EnvironmentLookup& env);

// The folder that holds one browser profile per launch: <cache>/vellamark/profiles.
[[nodiscard]] Result<std::string> LauncherProfilesFolder(const EnvironmentLookup& env);

}  // namespace vellamark
