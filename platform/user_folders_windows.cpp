#include <windows.h>
// After windows.h.
#include <knownfolders.h>
#include <shlobj.h>

#include "platform/text.h"
#include "platform/user_folders.h"

namespace vellamark {
namespace {

constexpr char kAppFolder[] = "vellamark";

// The shell's known folder, for a session without the usual variables. The shell is loaded only
// then: loading it at every start would cost several megabytes for a lookup that is rarely made.
Result<std::string> KnownFolder(const KNOWNFOLDERID& id, const char* what) {
    using GetKnownFolderPath = HRESULT(WINAPI*)(REFKNOWNFOLDERID, DWORD, HANDLE, PWSTR*);
    using FreeTaskMemory = void(WINAPI*)(LPVOID);
    HMODULE shell = LoadLibraryW(L"shell32.dll");
    HMODULE com = LoadLibraryW(L"ole32.dll");
    const auto getPath = reinterpret_cast<GetKnownFolderPath>(
        reinterpret_cast<void*>(GetProcAddress(shell, "SHGetKnownFolderPath")));
    const auto freeMemory = reinterpret_cast<FreeTaskMemory>(
        reinterpret_cast<void*>(GetProcAddress(com, "CoTaskMemFree")));
    PWSTR path = nullptr;
    const HRESULT hr =
        getPath != nullptr ? getPath(id, KF_FLAG_DEFAULT, nullptr, &path) : E_NOTIMPL;
    std::string folder = SUCCEEDED(hr) && path != nullptr ? Utf8FromWide(path) : std::string();
    if (path != nullptr && freeMemory != nullptr) {
        freeMemory(path);
    }
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
