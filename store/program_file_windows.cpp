#include <windows.h>

#include "platform/owned_handle_windows.h"
#include "platform/text.h"
#include "store/file_times.h"
#include "store/program_file.h"

namespace vellamark {

std::string ProgramFilePath(const std::string& folder) {
    if (folder.empty() || folder.back() == '\\' || folder.back() == '/') {
        return folder + "vellamark.exe";
    }
    return folder + "\\vellamark.exe";
}

std::optional<std::int64_t> FileCreationTime(const std::string& path) {
    // Read access, sharing for reading and writing, open only if it exists.
    OwnedHandle file(CreateFileA(ToAnsi(path).c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                 nullptr));
    if (!file.Valid()) {
        return std::nullopt;
    }
    FILETIME created{};
    FILETIME accessed{};
    FILETIME written{};
    if (!GetFileTime(file.Get(), &created, &accessed, &written) || !file.Close()) {
        return std::nullopt;
    }
    return FileTimeToDate(created.dwLowDateTime, created.dwHighDateTime) - kFileTimeToUnixSeconds;
}

}  // namespace vellamark
