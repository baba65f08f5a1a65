#include <unistd.h>

#include "platform/owned_fd.h"

namespace vellamark {

int OwnedFd::CloseFileDescriptor(int fd) {
    return fd >= 0 ? ::close(fd) : 0;
}

}  // namespace vellamark
