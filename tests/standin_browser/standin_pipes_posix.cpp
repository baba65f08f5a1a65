#include <limits.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "tests/standin_browser/standin_pipes.h"

namespace vellamark::standin {

DebuggingPipes::DebuggingPipes(const std::vector<std::string>& arguments) {
    for (const std::string& argument : arguments) {
        if (argument == "--remote-debugging-pipe") {
            in_ = 3;
            out_ = 4;
            valid_ = true;
        }
    }
}

bool DebuggingPipes::Read(std::string& bytes) {
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(static_cast<int>(in_), buffer, sizeof buffer);
        if (got > 0) {
            bytes.assign(buffer, static_cast<std::size_t>(got));
            return true;
        }
        if (got < 0 && errno == EINTR) {
            continue;
        }
        return false;
    }
}

bool DebuggingPipes::Write(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t put = ::write(static_cast<int>(out_), bytes.data(), bytes.size());
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(put));
    }
    return true;
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

void HoldProfile(const std::string& profileDir) {
    char host[HOST_NAME_MAX + 1] = {};
    ::gethostname(host, sizeof host - 1);
    const std::string target = std::string(host) + "-" + std::to_string(::getpid());
    [[maybe_unused]] const int linked =
        ::symlink(target.c_str(), (profileDir + "/SingletonLock").c_str());
}

long long ProcessId() {
    return static_cast<long long>(::getpid());
}

}  // namespace vellamark::standin
