#include <windows.h>

#include <string_view>
#include <utility>

#include "platform/files.h"
#include "platform/owned_handle_windows.h"
#include "platform/text.h"

namespace vellamark {
namespace {

std::string ErrorText(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring out = length > 0 && text != nullptr ? std::wstring(text, length) : std::wstring();
    if (text != nullptr) {
        LocalFree(text);
    }
    // The caller's sentence goes on after it.
    while (!out.empty() && (out.back() == L'\n' || out.back() == L'\r' || out.back() == L' ' ||
                            out.back() == L'.')) {
        out.pop_back();
    }
    return out.empty() ? "error " + std::to_string(error) : Utf8FromWide(out);
}

Status LastFailure() {
    return Status::Fail(ErrorText(GetLastError()));
}

bool IsMissing(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// Only symbolic links and junctions lead elsewhere. Other reparse points (cloud placeholders,
// deduplicated files) are the files and folders they stand for, and are treated as such.
FileKind Kind(DWORD attributes, DWORD reparseTag) {
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
        (reparseTag == IO_REPARSE_TAG_SYMLINK || reparseTag == IO_REPARSE_TAG_MOUNT_POINT)) {
        return FileKind::kLink;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return FileKind::kFolder;
    }
    return (attributes & FILE_ATTRIBUTE_DEVICE) != 0 ? FileKind::kOther : FileKind::kFile;
}

// The attributes alone do not say which kind of reparse point a name is: its tag does, read from
// the name opened for nothing but its attributes (openFlags: the link itself, or where it leads).
FileKind KindOfReparsePoint(const std::wstring& path, DWORD openFlags) {
    OwnedHandle opened(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | openFlags, nullptr));
    FILE_ATTRIBUTE_TAG_INFO info{};
    if (!opened.Valid() ||
        !GetFileInformationByHandleEx(opened.Get(), FileAttributeTagInfo, &info, sizeof info)) {
        return FileKind::kNone;
    }
    return Kind(info.FileAttributes, info.ReparseTag);
}

FileKind KindOfWide(const std::wstring& path, DWORD openFlags) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return FileKind::kNone;
    }
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        return KindOfReparsePoint(path, openFlags);
    }
    return Kind(attributes, 0);
}

class FindHandle {
public:
    explicit FindHandle(HANDLE h) : h_(h) {}
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    ~FindHandle() {
        if (h_ != INVALID_HANDLE_VALUE) {
            FindClose(h_);
        }
    }
    [[nodiscard]] HANDLE Get() const { return h_; }

private:
    HANDLE h_;
};

Status RemoveKnownKind(const std::string& path, FileKind kind) {
    const std::wstring wide = WideFromUtf8(path);
    if (kind == FileKind::kFolder) {
        auto entries = ListFolder(path);
        if (!entries) {
            return entries.status();
        }
        for (const FolderEntry& entry : *entries) {
            if (Status removed = RemoveKnownKind(JoinPath(path, entry.name), entry.kind);
                !removed) {
                return removed;
            }
        }
        if (!RemoveDirectoryW(wide.c_str()) && !IsMissing(GetLastError())) {
            return LastFailure();
        }
        return Status::Ok();
    }
    // A link to a folder is removed as a folder, the folder it leads to left alone.
    if (DeleteFileW(wide.c_str()) || IsMissing(GetLastError()) ||
        (kind == FileKind::kLink && RemoveDirectoryW(wide.c_str()))) {
        return Status::Ok();
    }
    return LastFailure();
}

}  // namespace

FileKind KindOf(const std::string& path) {
    return KindOfWide(WideFromUtf8(path), FILE_FLAG_OPEN_REPARSE_POINT);
}

FileKind KindFollowingLinks(const std::string& path) {
    return KindOfWide(WideFromUtf8(path), 0);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) {
        return name;
    }
    const char last = folder.back();
    return last == '\\' || last == '/' ? folder + name : folder + "\\" + name;
}

Result<std::string> AbsolutePath(const std::string& path) {
    const std::wstring wide = WideFromUtf8(path);
    std::wstring absolute(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(absolute.size()),
                                              absolute.data(), nullptr);
        if (length == 0) {
            return LastFailure();
        }
        if (length < absolute.size()) {
            absolute.resize(length);
            return Utf8FromWide(absolute);
        }
        absolute.resize(length);  // the size it needs, with its terminator
    }
}

Result<std::vector<FolderEntry>> ListFolder(const std::string& folder) {
    const std::wstring pattern = WideFromUtf8(JoinPath(folder, "*"));
    WIN32_FIND_DATAW found{};
    const FindHandle find(FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found,
                                           FindExSearchNameMatch, nullptr, 0));
    std::vector<FolderEntry> entries;
    if (find.Get() == INVALID_HANDLE_VALUE) {
        if (IsMissing(GetLastError())) {
            return entries;
        }
        return LastFailure();
    }
    do {
        const std::wstring_view name = found.cFileName;
        if (name == L"." || name == L"..") {
            continue;
        }
        // With the reparse point attribute, dwReserved0 holds its tag.
        entries.push_back(
            {Utf8FromWide(name), Kind(found.dwFileAttributes, found.dwReserved0),
             (found.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0});
    } while (FindNextFileW(find.Get(), &found));
    if (GetLastError() != ERROR_NO_MORE_FILES) {
        return LastFailure();
    }
    return entries;
}

Result<bool> CreateFolder(const std::string& path, FolderAccess /*access*/) {
    if (CreateDirectoryW(WideFromUtf8(path).c_str(), nullptr)) {
        return true;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS && KindFollowingLinks(path) == FileKind::kFolder) {
        return false;
    }
    return Status::Fail(ErrorText(error));
}

Status CreateFolders(const std::string& path) {
    if (KindFollowingLinks(path) == FileKind::kFolder) {
        return Status::Ok();
    }
    std::string parent = path;
    while (!parent.empty() && (parent.back() == '\\' || parent.back() == '/')) {
        parent.pop_back();
    }
    const auto separator = parent.find_last_of("\\/");
    if (separator != std::string::npos && separator > 0) {
        parent.resize(separator);
        if (Status made = CreateFolders(parent); !made) {
            return made;
        }
    }
    return CreateFolder(path).status();
}

Status RemoveFile(const std::string& path) {
    if (DeleteFileW(WideFromUtf8(path).c_str()) || IsMissing(GetLastError())) {
        return Status::Ok();
    }
    return LastFailure();
}

Status RemoveTree(const std::string& path) {
    const FileKind kind = KindOf(path);
    if (kind == FileKind::kNone) {
        // Nothing there, or something that cannot be looked at: removing it tells which.
        return RemoveFile(path);
    }
    return RemoveKnownKind(path, kind);
}

Status Rename(const std::string& from, const std::string& to) {
    if (MoveFileExW(WideFromUtf8(from).c_str(), WideFromUtf8(to).c_str(),
                    MOVEFILE_REPLACE_EXISTING)) {
        return Status::Ok();
    }
    return LastFailure();
}

Result<std::chrono::system_clock::time_point> LastWriteTime(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(WideFromUtf8(path).c_str(), GetFileExInfoStandard, &data)) {
        return LastFailure();
    }
    // A FILETIME counts 100 ns from 1601; the system clock counts from 1970.
    constexpr long long kTicksFrom1601To1970 = 116444736000000000LL;
    const long long ticks =
        static_cast<long long>(
            (static_cast<unsigned long long>(data.ftLastWriteTime.dwHighDateTime) << 32) |
            data.ftLastWriteTime.dwLowDateTime) -
        kTicksFrom1601To1970;
    using Ticks = std::chrono::duration<long long, std::ratio<1, 10000000>>;
    return std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(Ticks(ticks)));
}

// Access on Windows lies in access lists that the attributes do not show: try it instead.
bool MayCreateFilesIn(const std::string& folder) {
    const std::wstring probe = WideFromUtf8(
        JoinPath(folder, "vellamark-probe-" + std::to_string(GetCurrentProcessId()) + ".tmp"));
    const HANDLE handle =
        CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(handle);
    return true;
}

}  // namespace vellamark
