#include <unistd.h>

#include <cerrno>

#include "platform/console.h"

namespace vellamark {

void WriteStandardText(StandardStream stream, std::string_view utf8) {
    const int fd = stream == StandardStream::kOutput ? STDOUT_FILENO : STDERR_FILENO;
    while (!utf8.empty()) {
        const ssize_t written = ::write(fd, utf8.data(), utf8.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return;  // nowhere to write to: the text is dropped, as a closed terminal drops it
        }
        utf8.remove_prefix(static_cast<std::size_t>(written));
    }
}

}  // namespace vellamark
