#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "platform/local_time.h"
#include "store/private_files.h"

namespace vellamark {

namespace fs = std::filesystem;

namespace {

std::string ErrnoText() {
    return std::strerror(errno);
}

}  // namespace

Status MakePrivateFolder(const fs::path& folder) {
    fs::path partial;
    for (const auto& part : folder) {
        partial /= part;
        if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) {
            return Status::Fail("cannot create the folder " + partial.string() + ": " +
                                ErrnoText());
        }
    }
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return Status::Fail(folder.string() + " is not a folder");
    }
    if ((info.st_mode & 077) != 0 && info.st_uid == ::geteuid()) {
        ::chmod(folder.c_str(), 0700);
    }
    return Status::Ok();
}

// Made here before SQLite sees it: SQLite would create it 0644 less the umask, and its journal
// files take the mode of the database file.
Status MakePrivateFile(const fs::path& file) {
    const OwnedFd fd(::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!fd.Valid() && errno == EISDIR) {
        return Status::Fail(file.string() + " is a folder, not a file");
    }
    if (!fd.Valid()) {
        return Status::Fail("cannot open " + file.string() + ": " + ErrnoText());
    }
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return Status::Fail(file.string() + " is not a regular file");
    }
    if (info.st_uid != ::geteuid()) {
        return Status::Fail(file.string() + " belongs to another user");
    }
    if ((info.st_mode & 077) != 0 && ::fchmod(fd.Get(), 0600) != 0) {
        return Status::Fail("cannot make " + file.string() + " private: " + ErrnoText());
    }
    return Status::Ok();
}

Result<fs::path> FollowOwnLinks(const fs::path& file) {
    using Followed = Result<fs::path>;
    constexpr int kLongestChain = 8;
    fs::path at = file;
    const std::string start = file.string() + " is a symbolic link";
    for (int links = 0;; ++links) {
        struct stat info {};
        if (::lstat(at.c_str(), &info) != 0) {
            if (errno == ENOENT && links == 0) {
                return at;  // nothing there yet: the store is made at this path
            }
            return Followed::Fail(
                start + " to " + at.string() + ", which " +
                (errno == ENOENT ? "does not exist" : "cannot be looked at: " + ErrnoText()));
        }
        const bool ours = info.st_uid == ::geteuid();
        if (!S_ISLNK(info.st_mode)) {
            // The file itself (links == 0) is checked where it is opened, as it always was.
            if (links > 0 && !S_ISREG(info.st_mode)) {
                return Followed::Fail(start + " to " + at.string() + ", which is not a file");
            }
            if (links > 0 && !ours) {
                return Followed::Fail(start + " to " + at.string() +
                                      ", which belongs to another user");
            }
            return at;
        }
        if (!ours) {
            return Followed::Fail(
                (links == 0 ? start : start + " to " + at.string() + ", itself a link,") +
                " that belongs to another user");
        }
        if (links == kLongestChain) {
            return Followed::Fail(start + " that leads through more than " +
                                  std::to_string(kLongestChain) + " links");
        }
        std::string target(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 4096) + 1,
                           '\0');
        const auto size = ::readlink(at.c_str(), target.data(), target.size());
        if (size < 0 || static_cast<std::size_t>(size) >= target.size()) {
            return Followed::Fail("cannot read the symbolic link " + at.string() + ": " +
                                  ErrnoText());
        }
        target.resize(static_cast<std::size_t>(size));
        at = (at.parent_path() / target).lexically_normal();
    }
}

bool HasForeignHeader(const fs::path& file, std::string_view magic) {
    std::string header(magic.size(), '\0');
    const OwnedFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (!fd.Valid()) {
        return false;
    }
    const auto got = ::read(fd.Get(), header.data(), header.size());
    return got > 0 && (static_cast<std::size_t>(got) < header.size() || header != magic);
}

Result<fs::path> MoveAside(const fs::path& file, std::string_view tag,
                           std::initializer_list<std::string_view> companionSuffixes) {
    const std::string stem = file.string() + "." + std::string(tag) + "-" + UtcStampNow();
    fs::path aside = stem;
    for (int n = 1; fs::exists(fs::symlink_status(aside)); ++n) {
        aside = stem + "-" + std::to_string(n);
    }
    for (const std::string_view suffix : companionSuffixes) {
        const fs::path companion = file.string() + std::string(suffix);
        if (fs::exists(fs::symlink_status(companion))) {
            ::rename(companion.c_str(), (aside.string() + std::string(suffix)).c_str());
        }
    }
    if (::rename(file.c_str(), aside.c_str()) != 0) {
        return Result<fs::path>::Fail("cannot move " + file.string() + " aside: " + ErrnoText());
    }
    return aside;
}

Result<OwnedFd> LockExclusively(const fs::path& lockFile) {
    OwnedFd lock(::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!lock.Valid() || ::flock(lock.Get(), LOCK_EX) != 0) {
        return Result<OwnedFd>::Fail("cannot lock " + lockFile.string() + ": " + ErrnoText());
    }
    return lock;
}

}  // namespace vellamark
