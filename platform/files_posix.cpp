#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "platform/files.h"

namespace vellamark {
namespace {

namespace fs = std::filesystem;

FileKind Kind(const fs::file_status& status) {
    switch (status.type()) {
        case fs::file_type::regular:
            return FileKind::kFile;
        case fs::file_type::directory:
            return FileKind::kFolder;
        case fs::file_type::symlink:
            return FileKind::kLink;
        case fs::file_type::none:
        case fs::file_type::not_found:
            return FileKind::kNone;
        default:
            return FileKind::kOther;
    }
}

Status Failure(const std::error_code& error) {
    return Status::Fail(error.message());
}

Status ErrnoFailure() {
    return Failure(std::error_code(errno, std::generic_category()));
}

}  // namespace

FileKind KindOf(const std::string& path) {
    std::error_code error;
    return Kind(fs::symlink_status(path, error));
}

FileKind KindFollowingLinks(const std::string& path) {
    std::error_code error;
    return Kind(fs::status(path, error));
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    return (fs::path(folder) / name).string();
}

Result<std::string> AbsolutePath(const std::string& path) {
    std::error_code error;
    fs::path absolute = fs::absolute(path, error);
    if (error) {
        return Failure(error);
    }
    return absolute.string();
}

Result<std::vector<FolderEntry>> ListFolder(const std::string& folder) {
    std::vector<FolderEntry> entries;
    std::error_code error;
    fs::directory_iterator it(folder, error);
    if (error) {
        if (error == std::errc::no_such_file_or_directory) {
            return entries;
        }
        return Failure(error);
    }
    for (const fs::directory_iterator end; it != end; it.increment(error)) {
        std::error_code statusError;
        const std::string name = it->path().filename().string();
        entries.push_back({name, Kind(it->symlink_status(statusError)), name.starts_with('.')});
    }
    if (error) {
        return Failure(error);
    }
    return entries;
}

Result<bool> CreateFolder(const std::string& path, FolderAccess access) {
    std::error_code error;
    if (!fs::create_directory(path, error)) {
        if (error) {
            return Failure(error);
        }
        return false;
    }
    if (access == FolderAccess::kOwnerOnly) {
        // Exactly rwx------ whatever the umask.
        fs::permissions(path, fs::perms::owner_all, fs::perm_options::replace, error);
    }
    return true;
}

Status CreateFolders(const std::string& path) {
    std::error_code error;
    fs::create_directories(path, error);
    return error ? Failure(error) : Status::Ok();
}

Status RemoveFile(const std::string& path) {
    if (::unlink(path.c_str()) == 0 || errno == ENOENT) {
        return Status::Ok();
    }
    return ErrnoFailure();
}

Status RemoveTree(const std::string& path) {
    std::error_code error;
    fs::remove_all(path, error);
    return error ? Failure(error) : Status::Ok();
}

Status Rename(const std::string& from, const std::string& to) {
    std::error_code error;
    fs::rename(from, to, error);
    return error ? Failure(error) : Status::Ok();
}

Result<std::chrono::system_clock::time_point> LastWriteTime(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return ErrnoFailure();
    }
    return std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::seconds(st.st_mtim.tv_sec) +
            std::chrono::nanoseconds(st.st_mtim.tv_nsec)));
}

bool MayCreateFilesIn(const std::string& folder) {
    return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

}  // namespace vellamark
