#include <pwd.h>
#include <unistd.h>

#include <filesystem>

#include "platform/user_folders.h"

namespace vellamark {
namespace {

namespace fs = std::filesystem;

constexpr char kAppFolder[] = "vellamark";

Result<fs::path> Home(const EnvironmentLookup& env) {
    if (auto home = env("HOME"); home && !home->empty()) {
        return fs::path(*home);
    }
    if (const passwd* user = ::getpwuid(::geteuid()); user && user->pw_dir && *user->pw_dir) {
        return fs::path(user->pw_dir);
    }
    return Result<fs::path>::Fail("there is no home folder (HOME is not set)");
}

Result<fs::path> Base(UserFolder which, const EnvironmentLookup& env) {
    const char* variable = "XDG_CONFIG_HOME";
    fs::path fallback = ".config";
    if (which == UserFolder::kData) {
        variable = "XDG_DATA_HOME";
        fallback = fs::path(".local") / "share";
    } else if (which == UserFolder::kCache) {
        variable = "XDG_CACHE_HOME";
        fallback = ".cache";
    }
    // A relative value is to be ignored, as the base-directory rules say.
    if (auto set = env(variable); set && fs::path(*set).is_absolute()) {
        return fs::path(*set);
    }
    auto home = Home(env);
    if (!home) {
        return home.status();
    }
    return *home / fallback;
}

Result<std::string> Within(UserFolder which, const EnvironmentLookup& env, const fs::path& rest) {
    auto base = Base(which, env);
    if (!base) {
        return base.status();
    }
    return (*base / kAppFolder / rest).string();
}

}  // namespace

Result<std::string> UserFolderPath(UserFolder which, const EnvironmentLookup& env) {
    auto base = Base(which, env);
    if (!base) {
        return base.status();
    }
    return base->string();
}

Result<WorkingFolders> LauncherWorkingFolders(const EnvironmentLookup& env) {
    auto base = Base(UserFolder::kData, env);
    if (!base) {
        return base.status();
    }
    const fs::path main = *base / kAppFolder;
    return WorkingFolders{main.string(), (main / "temp").string()};
}

Result<std::string> LauncherStoreFile(const EnvironmentLookup& env) {
    return Within(UserFolder::kConfig, env, "registry.sqlite3");
}

Result<std::string> LauncherProfilesFolder(const EnvironmentLookup& env) {
    return Within(UserFolder::kCache, env, "profiles");
}

}  // namespace vellamark
