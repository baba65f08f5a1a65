#include "launch/page_file.h"

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vellamark {
namespace {

namespace fs = std::filesystem;

fs::path PathFromUtf8(const std::string& text) {
    return fs::path(std::u8string(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}

std::string Utf8FromPath(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

std::string ErrnoText(int error) {
    return std::error_code(error, std::generic_category()).message();
}

bool IsPageFileName(std::string name) {
#ifdef _WIN32
    // Windows matches file names without regard to case.
    for (char& c : name) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
#endif
    constexpr std::string_view prefix = "vellamar";
    constexpr std::string_view suffix = ".htm";
    return name.size() >= prefix.size() + suffix.size() && name.starts_with(prefix) &&
           name.ends_with(suffix);
}

// A file descriptor that is closed when it goes out of scope; Close() reports the close's own
// failure, which is where a full disk on some file systems first shows.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) {
            static_cast<void>(CloseFd(fd_));
        }
    }

    [[nodiscard]] int get() const { return fd_; }
    [[nodiscard]] bool valid() const { return fd_ >= 0; }
    [[nodiscard]] bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return CloseFd(fd) == 0;
    }

private:
    static int CloseFd(int fd) {
#ifdef _WIN32
        return _close(fd);
#else
        return ::close(fd);
#endif
    }

    int fd_;
};

#ifdef _WIN32
// UTF-8 to the ANSI code page; a character the code page lacks becomes its default character.
std::string ToAnsiBytes(std::string_view utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int wideLength =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                        wideLength);
    const int ansiLength =
        WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<std::size_t>(ansiLength), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLength, ansi.data(), ansiLength, nullptr,
                        nullptr);
    return ansi;
}

bool IsHiddenOrSystem(const fs::path& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
}

bool FolderWritable(const fs::path& folder) {
    // Access checks on Windows live in ACLs that _waccess does not read: try it instead.
    const fs::path probe =
        folder / (L"vellamark-probe-" + std::to_wstring(GetCurrentProcessId()) + L".tmp");
    const HANDLE handle =
        CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(handle);
    return true;
}

int OpenForWriting(const fs::path& path) {
    return _wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY | _O_NOINHERIT,
                  _S_IREAD | _S_IWRITE);
}

bool RestrictToOwner(int /*fd*/) {
    return true;
}  // the folder's ACL decides on Windows

long WriteSome(int fd, const char* data, std::size_t size) {
    return _write(fd, data, static_cast<unsigned>(size > 0x10000000 ? 0x10000000 : size));
}
#else
bool IsHiddenOrSystem(const fs::path& path) {
    return path.filename().native().starts_with('.');
}

bool FolderWritable(const fs::path& folder) {
    return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

int OpenForWriting(const fs::path& path) {
    // No following of a link planted under the page's name: the password would go wherever it
    // pointed.
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
}

bool RestrictToOwner(int fd) {
    return ::fchmod(fd, 0600) == 0;
}

long WriteSome(int fd, const char* data, std::size_t size) {
    return ::write(fd, data, size);
}
#endif

}  // namespace

void RemovePageFile(const std::string& path) {
    std::error_code ignored;
    fs::remove(PathFromUtf8(path), ignored);
}

std::string ChoosePageFolder(const std::string& programFolder, const std::string& tempFolder) {
    if (!programFolder.empty()) {
        std::error_code error;
        const fs::path folder = PathFromUtf8(programFolder);
        if (fs::is_directory(folder, error) && FolderWritable(folder)) {
            return programFolder;
        }
    }
    return tempFolder;
}

std::string PageFilePath(const std::string& folder, std::string_view timeText) {
    return Utf8FromPath(PathFromUtf8(folder) /
                        PathFromUtf8("vellamar_" + std::string(timeText) + ".htm"));
}

FileStatus RemoveOldPageFiles(const std::string& folder) {
    const fs::path root = PathFromUtf8(folder);
    std::error_code error;
    fs::directory_iterator entries(root, error);
    if (error) {
        // A folder that is not there holds no old pages; writing the new one will say why.
        if (error == std::errc::no_such_file_or_directory) {
            return FileStatus::Ok();
        }
        return FileStatus::Fail("The folder " + folder +
                                " could not be searched for old login pages (" + error.message() +
                                "). Check that it exists and that you may read it.");
    }
    // Collected first, deleted after: deleting while the directory is being read may skip
    // entries.
    std::vector<fs::path> oldPages;
    for (const fs::directory_entry& entry : entries) {
        const fs::path& path = entry.path();
        if (!IsPageFileName(Utf8FromPath(path.filename()))) {
            continue;
        }
        std::error_code statusError;
        if (!fs::is_regular_file(entry.symlink_status(statusError)) || IsHiddenOrSystem(path)) {
            continue;
        }
        oldPages.push_back(path);
    }
    for (const fs::path& path : oldPages) {
        if (!fs::remove(path, error) && error) {
            return FileStatus::Fail(
                "The old login page " + Utf8FromPath(path) + " could not be deleted (" +
                error.message() + "). It holds a password: delete it by hand, then log in again.");
        }
    }
    return FileStatus::Ok();
}

FileStatus WritePageFile(const std::string& path, std::string_view page) {
    const auto fail = [&path](int errorNumber) {
        return FileStatus::Fail(
            "The login page could not be written to " + path + " (" + ErrnoText(errorNumber) +
            "). Check that the folder exists, that you may write to it and "
            "that the disk is not full, or switch off \"Create Browser Login\".");
    };

    std::string bytes;
#ifdef _WIN32
    bytes = ToAnsiBytes(page);
#else
    bytes.assign(page);  // the locale's character set is UTF-8: the text as it is
#endif
    bytes += "\r\n";

    FileDescriptor file(OpenForWriting(PathFromUtf8(path)));
    if (!file.valid()) {
        return fail(errno);
    }
    if (!RestrictToOwner(file.get())) {
        return fail(errno);
    }
    std::size_t written = 0;
    while (written < bytes.size()) {
        const long count = WriteSome(file.get(), bytes.data() + written, bytes.size() - written);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            const int errorNumber = count == 0 ? ENOSPC : errno;
            static_cast<void>(file.Close());  // Windows deletes no file that is still open
            RemovePageFile(path);             // a page cut short still holds the password
            return fail(errorNumber);
        }
        written += static_cast<std::size_t>(count);
    }
    if (!file.Close()) {
        const int errorNumber = errno;
        RemovePageFile(path);  // a page cut short still holds the password
        return fail(errorNumber);
    }
    return FileStatus::Ok();
}

}  // namespace vellamark
