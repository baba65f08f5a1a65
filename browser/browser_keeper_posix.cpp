#include "browser/browser_keeper_posix.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace vellamark {

Status StartKeeper(int browserEnded, int launcher, int commandPipe, const std::string& profileDir,
                   pid_t browser, int devNull) {
    // The browser's helpers (the GPU process, crash reporting) may write into the profile for a
    // moment after the browser itself has ended: the removal is repeated for three seconds.
    static const char kScript[] =
        "read -r word <&3 || word=; exec 3<&-; "
        "[ \"$word\" = kept ] || { exec 4>&-; kill -s TERM -- \"-$1\" 2>/dev/null; }; "
        "while read -r _; do :; done; exec 4>&-; "
        "for _ in 1 2 3 4 5 6; do rm -rf -- \"$0\"; sleep 0.5; done";
    const std::string group = std::to_string(browser);
    std::vector<char*> argv = {
        const_cast<char*>("/bin/sh"),     const_cast<char*>("-c"),
        const_cast<char*>(kScript),       const_cast<char*>(profileDir.c_str()),
        const_cast<char*>(group.c_str()), nullptr};
    const pid_t keeper = ::fork();
    if (keeper < 0) {
        return Status::Fail(std::strerror(errno));
    }
    if (keeper > 0) {
        int status = 0;
        ::waitpid(keeper, &status, 0);  // it leaves at once, handing over to its own child
        if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
            return Status::Ok();
        }
        return Status::Fail("it could not take over its pipes");
    }
    ::setsid();
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    const int ended = ::fcntl(browserEnded, F_DUPFD_CLOEXEC, 10);
    const int word = ::fcntl(launcher, F_DUPFD_CLOEXEC, 10);
    const int command = ::fcntl(commandPipe, F_DUPFD_CLOEXEC, 10);
    if (ended < 0 || word < 0 || command < 0 || ::dup2(ended, 0) < 0 || ::dup2(devNull, 1) < 0 ||
        ::dup2(devNull, 2) < 0 || ::dup2(word, 3) < 0 || ::dup2(command, 4) < 0) {
        ::_exit(127);
    }
    // Leave at once so the keeper is nobody's child: our parent need not wait for it.
    if (::fork() != 0) {
        ::_exit(0);
    }
    ::execv("/bin/sh", argv.data());
    ::_exit(127);
}

}  // namespace vellamark
