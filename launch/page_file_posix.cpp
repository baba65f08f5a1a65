#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "launch/page_file_system.h"

namespace vellamark {

const bool kPageFileNamesIgnoreCase = false;

bool IsHiddenOrSystem(const std::filesystem::path& path) {
    return path.filename().native().starts_with('.');
}

bool FolderWritable(const std::filesystem::path& folder) {
    return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

int OpenForWriting(const std::filesystem::path& path) {
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

}  // namespace vellamark
