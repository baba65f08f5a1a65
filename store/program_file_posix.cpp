#include <fcntl.h>
#include <sys/stat.h>

#include "store/file_times.h"
#include "store/program_file.h"

namespace vellamark {

std::string ProgramFilePath(const std::string& folder) {
    if (folder.empty() || folder.back() == '/') {
        return folder + "vellamark";
    }
    return folder + "/vellamark";
}

std::optional<std::int64_t> FileCreationTime(const std::string& path) {
    struct statx times {};
    if (::statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME | STATX_MTIME, &times) == 0) {
        const auto& when = (times.stx_mask & STATX_BTIME) ? times.stx_btime : times.stx_mtime;
        if (times.stx_mask & (STATX_BTIME | STATX_MTIME)) {
            return NearestWholeSecond(when.tv_sec, when.tv_nsec);
        }
    }
    // Kernels or file systems without statx: the modification time.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return NearestWholeSecond(info.st_mtim.tv_sec, info.st_mtim.tv_nsec);
}

}  // namespace vellamark
