#include <windows.h>
// After windows.h. The known folders' identifiers are defined here rather than taken from
// libuuid, whose one object holds every identifier Windows has (40 KB).
#include <initguid.h>
#include <knownfolders.h>
#include <shlobj.h>

#include "platform/files.h"
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

// True when the page files can go into folders.temp, as it is or once startup has made it. A
// missing main folder is made here: whether this user may create it is known only by trying.
// Something other than a folder under the main folder's name keeps these names, and startup
// reports it.
bool MayWorkIn(const WorkingFolders& folders) {
    const std::wstring main = WideFromUtf8(folders.main);
    const std::wstring temp = WideFromUtf8(folders.temp);
    DWORD attributes = GetFileAttributesW(main.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
            return false;
        }
        if (!CreateDirectoryW(main.c_str(), nullptr)) {
            return false;
        }
        attributes = FILE_ATTRIBUTE_DIRECTORY;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return true;
    }
    const DWORD tempAttributes = GetFileAttributesW(temp.c_str());
    if (tempAttributes != INVALID_FILE_ATTRIBUTES &&
        (tempAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return MayCreateFilesIn(folders.temp);
    }
    return MayCreateFilesIn(folders.main);
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

// The working folders keep the names the launcher has always used on Windows, where this user
// may write there. A standard user of a locked-down machine may not create "c:\vellamark", nor
// write into one an administrator made; the folders then go under the user's own local
// application data, beside the browser profiles.
Result<WorkingFolders> LauncherWorkingFolders(const EnvironmentLookup& env) {
    const WorkingFolders classic{"c:\\vellamark", "c:\\vellamark\\temp"};
    if (MayWorkIn(classic)) {
        return classic;
    }
    auto base = UserFolderPath(UserFolder::kData, env);
    if (!base) {
        return classic;  // startup then says what is wrong with the usual place
    }
    const std::string main = JoinPath(*base, kAppFolder);
    return WorkingFolders{main, JoinPath(main, "temp")};
}

Result<std::string> LauncherStoreFile(const EnvironmentLookup& env) {
    auto base = UserFolderPath(UserFolder::kConfig, env);
    if (!base) {
        return base.status();
    }
    return JoinPath(JoinPath(*base, kAppFolder), "registry.sqlite3");
}

Result<std::string> LauncherProfilesFolder(const EnvironmentLookup& env) {
    auto base = UserFolderPath(UserFolder::kCache, env);
    if (!base) {
        return base.status();
    }
    return JoinPath(JoinPath(*base, kAppFolder), "profiles");
}

}  // namespace vellamark
