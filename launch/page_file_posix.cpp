#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "launch/page_file_system.h"

namespace vellamark {

const bool kPageFileNamesIgnoreCase = false;

int OpenForWriting(const std::string& path) {
    // No following of a link planted under the page's name: the password would go wherever it
    // pointed. Not blocking, so a pipe at the name fails at once instead of waiting for a
    // reader; the caller refuses anything that is not a plain file.
    const int fd = ::open(path.c_str(),
                          O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd >= 0) {
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags >= 0) {
            ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
        }
    }
    return fd;
}

bool IsPlainFile(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
}

bool NotPlainFileError(int errorNumber) {
    return errorNumber == ELOOP || errorNumber == ENXIO || errorNumber == EISDIR;
}

bool RestrictToOwner(int fd) {
    return ::fchmod(fd, 0600) == 0;
}

long WriteSome(int fd, const char* data, std::size_t size) {
    return ::write(fd, data, size);
}

}  // namespace vellamark
