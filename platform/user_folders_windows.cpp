#include <windows.h>
// After windows.h.
#include <knownfolders.h>
#include <shlobj.h>

#include "platform/text.h"
#include "platform/user_folders.h"

namespace vellamark {
namespace {

constexpr char kAppFolder[] = "vellamark";

Result<std::string> KnownFolder(const KNOWNFOLDERID& id, const char* what) {
    PWSTR path = nullptr;
    const HRESULT hr = ::SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &path);
    std::string folder = SUCCEEDED(hr) && path != nullptr ? Utf8FromWide(path) : std::string();
    ::CoTaskMemFree(path);
    if (folder.empty()) {
        return Result<std::string>::Fail(std::string("the folder ") + what + " is not known");
    }
    return folder;
}

std::string Join(const std::string& folder, const std::string& name) {
    if (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) {
        return folder + name;
    }
    return folder + "\\" + name;
}

}  // namespace

Result<std::string> UserFolderPath(UserFolder which, const EnvironmentLookup& env) {
    const bool roaming = which == UserFolder::kConfig;
    const char* variable = roaming ? "APPDATA" : "LOCALAPPDATA";
    if (auto set = env(variable); set && !set->empty()) {
        return *set;
    }
    return KnownFolder(roaming ? FOLDERID_RoamingAppData : FOLDERID_LocalAppData,
                       roaming ? "APPDATA" : "LOCALAPPDATA");
}

// The working folders keep the names the launcher has always used on Windows.
Result<WorkingFolders> LauncherWorkingFolders(const EnvironmentLookup&) {
    return WorkingFolders{"c:\\vellamark", "c:\\vellamark\\temp"};
}

Result<std::string> LauncherStoreFile(const EnvironmentLookup& env) {
    auto base = UserFolderPath(UserFolder::kConfig, env);
    if (!base) {
        return base.status();
    }
    return Join(Join(*base, kAppFolder), "registry.sqlite3");
}

Result<std::string> LauncherProfilesFolder(const EnvironmentLookup& env) {
    auto base = UserFolderPath(UserFolder::kCache, env);
    if (!base) {
        return base.status();
    }
    return Join(Join(*base, kAppFolder), "profiles");
}

}  // namespace vellamark
