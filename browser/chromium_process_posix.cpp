#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>
#include <utility>
#include <vector>

#include "browser/browser_keeper_posix.h"
#include "browser/chromium_process.h"
#include "platform/owned_fd.h"

namespace vellamark {

namespace {

int MillisecondsUntil(Deadline deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::clamp<long long>(left.count(), 0, 60'000));
}

std::string ErrnoText(int error) {
    return std::strerror(error);
}

// Holds SIGPIPE blocked while writing to a pipe whose reader may have gone, and swallows the
// signal such a write raises, so a dead browser shows up as EPIPE rather than ending us.
class SigpipeGuard {
public:
    SigpipeGuard() {
        sigset_t pipeOnly;
        sigemptyset(&pipeOnly);
        sigaddset(&pipeOnly, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        wasPending_ = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &pipeOnly, &old_);
    }
    SigpipeGuard(const SigpipeGuard&) = delete;
    SigpipeGuard& operator=(const SigpipeGuard&) = delete;
    ~SigpipeGuard() {
        if (raised_ && !wasPending_) {
            sigset_t pipeOnly;
            sigemptyset(&pipeOnly);
            sigaddset(&pipeOnly, SIGPIPE);
            const timespec zero{0, 0};
            sigtimedwait(&pipeOnly, nullptr, &zero);
        }
        pthread_sigmask(SIG_SETMASK, &old_, nullptr);
    }
    void Raised() { raised_ = true; }

private:
    sigset_t old_{};
    bool wasPending_ = false;
    bool raised_ = false;
};

class PosixChromiumProcess final : public ChromiumProcess {
public:
    PosixChromiumProcess(pid_t pid, OwnedFd toBrowser, OwnedFd fromBrowser, OwnedFd keeper)
        : pid_(pid),
          toBrowser_(std::move(toBrowser)),
          fromBrowser_(std::move(fromBrowser)),
          keeper_(std::move(keeper)) {}

    Status Write(std::string_view bytes, Deadline deadline) override {
        if (toBrowser_.Get() < 0) {
            return Status::Fail("The connection to the browser is already closed.");
        }
        SigpipeGuard guard;
        while (!bytes.empty()) {
            const ssize_t n = ::write(toBrowser_.Get(), bytes.data(), bytes.size());
            if (n > 0) {
                bytes.remove_prefix(static_cast<std::size_t>(n));
                continue;
            }
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0 && errno == EAGAIN) {
                pollfd p{toBrowser_.Get(), POLLOUT, 0};
                const int wait = MillisecondsUntil(deadline);
                if (wait == 0 || ::poll(&p, 1, wait) == 0) {
                    return Status::Fail("The browser stopped taking commands.");
                }
                continue;
            }
            if (errno == EPIPE) {
                guard.Raised();
                return Status::Fail("The browser has closed.");
            }
            return Status::Fail("Writing to the browser failed: " + ErrnoText(errno));
        }
        return Status::Ok();
    }

    PipeRead Read(Deadline deadline) override {
        if (fromBrowser_.Get() < 0) {
            return {PipeRead::Kind::kClosed, {}, {}};
        }
        for (;;) {
            char buffer[65536];
            const ssize_t n = ::read(fromBrowser_.Get(), buffer, sizeof buffer);
            if (n > 0) {
                return {
                    PipeRead::Kind::kData, std::string(buffer, static_cast<std::size_t>(n)), {}};
            }
            if (n == 0) {
                return {PipeRead::Kind::kClosed, {}, {}};
            }
            if (errno == EINTR) {
                continue;
            }
            if (errno != EAGAIN) {
                return {
                    PipeRead::Kind::kError, {}, "reading from the browser: " + ErrnoText(errno)};
            }
            pollfd p{fromBrowser_.Get(), POLLIN, 0};
            const int wait = MillisecondsUntil(deadline);
            if (wait == 0) {
                return {};
            }
            const int ready = ::poll(&p, 1, wait);
            if (ready == 0) {
                return {};
            }
            if (ready < 0 && errno != EINTR) {
                return {PipeRead::Kind::kError, {}, "waiting for the browser: " + ErrnoText(errno)};
            }
        }
    }

    std::string Ended() override {
        if (pid_ > 0 && !reaped_) {
            int status = 0;
            pid_t r;
            do {
                r = ::waitpid(pid_, &status, WNOHANG);
            } while (r < 0 && errno == EINTR);
            if (r == pid_) {
                reaped_ = true;
                status_ = status;
            }
        }
        if (!reaped_) {
            return {};
        }
        if (WIFSIGNALED(status_)) {
            return "it was ended by signal " + std::to_string(WTERMSIG(status_));
        }
        return "it exited with code " + std::to_string(WEXITSTATUS(status_));
    }

    void Kill() override {
        if (pid_ <= 0) {
            return;
        }
        // The browser leads its own process group: signal the group, so its helpers go too.
        ::kill(-pid_, SIGTERM);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        bool ended = reaped_;
        while (!ended && std::chrono::steady_clock::now() < deadline) {
            const pid_t r = ::waitpid(pid_, nullptr, WNOHANG);
            ended = r == pid_ || (r < 0 && errno == ECHILD);
            if (!ended) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        }
        ::kill(-pid_, SIGKILL);
        if (!ended) {
            ::waitpid(pid_, nullptr, 0);
        }
        pid_ = -1;
        toBrowser_.Reset();
        fromBrowser_.Reset();
        keeper_.Reset();
    }

    // The keeper is told the browser is the user's now, and keeps its command pipe open from
    // here on; only then do our ends close.
    void Detach() override {
        if (keeper_.Get() >= 0) {
            SigpipeGuard guard;
            ssize_t n;
            do {
                n = ::write(keeper_.Get(), kKeeperHandOver.data(), kKeeperHandOver.size());
            } while (n < 0 && errno == EINTR);
            if (n < 0 && errno == EPIPE) {
                guard.Raised();
            }
        }
        pid_ = -1;
        toBrowser_.Reset();
        fromBrowser_.Reset();
        keeper_.Reset();
    }

    long long Id() const override { return pid_; }

private:
    pid_t pid_;
    OwnedFd toBrowser_;
    OwnedFd fromBrowser_;
    OwnedFd keeper_;  // we are alive while it is open; "kept" on it hands the browser over
    bool reaped_ = false;
    int status_ = 0;
};

bool MakePipe(OwnedFd& readEnd, OwnedFd& writeEnd) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        return false;
    }
    readEnd.Reset(fds[0]);
    writeEnd.Reset(fds[1]);
    return true;
}

}  // namespace

bool RunningAsRoot() {
    return ::geteuid() == 0;
}

Result<std::unique_ptr<ChromiumProcess>> StartChromiumProcess(const std::string& program,
                                                              BrowserCommandLineSettings settings) {
    using Started = Result<std::unique_ptr<ChromiumProcess>>;
    settings.pipeIn.clear();
    settings.pipeOut.clear();
    const std::vector<std::string> arguments = ChromiumArguments(settings);

    // Everything the child needs is made before fork: between fork and exec only calls that
    // are safe in a copy of a threaded process are made.
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : arguments) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);

    OwnedFd commandRead, commandWrite, replyRead, replyWrite, execErrorRead, execErrorWrite;
    if (!MakePipe(commandRead, commandWrite) || !MakePipe(replyRead, replyWrite) ||
        !MakePipe(execErrorRead, execErrorWrite)) {
        return Started::Fail("Could not create the pipes to the browser: " + ErrnoText(errno));
    }
    // The browser alone holds the write end of the first pipe (as descriptor 5): its keeper
    // learns the browser has ended when it closes. We alone hold the write end of the second.
    OwnedFd endedRead, endedWrite, wordRead, wordWrite;
    if (!MakePipe(endedRead, endedWrite) || !MakePipe(wordRead, wordWrite)) {
        return Started::Fail("Could not create the pipes to the browser: " + ErrnoText(errno));
    }
    OwnedFd devNull(::open("/dev/null", O_RDWR | O_CLOEXEC));
    if (devNull.Get() < 0) {
        return Started::Fail("Could not open /dev/null: " + ErrnoText(errno));
    }

    const pid_t pid = ::fork();
    if (pid < 0) {
        return Started::Fail("Could not start the browser: " + ErrnoText(errno));
    }
    if (pid == 0) {
        ::setsid();
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        // Lift every source above the target numbers first (close-on-exec copies), so no dup2
        // below overwrites a source still to be copied.
        const int in = ::fcntl(commandRead.Get(), F_DUPFD_CLOEXEC, 10);
        const int out = ::fcntl(replyWrite.Get(), F_DUPFD_CLOEXEC, 10);
        const int null = ::fcntl(devNull.Get(), F_DUPFD_CLOEXEC, 10);
        const int held = ::fcntl(endedWrite.Get(), F_DUPFD_CLOEXEC, 10);
        // 3 and 4 are the debugging pipes, 5 the keeper's sign that the browser still runs.
        // The command pipe's other end stays with us and the keeper: the browser ends when it
        // reads end of file there. Its replies need no reader once we are gone: Chromium drops
        // what it cannot write.
        if (in < 0 || out < 0 || null < 0 || held < 0 || ::dup2(null, 0) < 0 ||
            ::dup2(null, 1) < 0 || ::dup2(null, 2) < 0 || ::dup2(in, 3) < 0 || ::dup2(out, 4) < 0 ||
            ::dup2(held, 5) < 0) {
            const int e = errno;
            [[maybe_unused]] auto ignored = ::write(execErrorWrite.Get(), &e, sizeof e);
            ::_exit(127);
        }
        ::execv(program.c_str(), argv.data());
        const int e = errno;
        [[maybe_unused]] auto ignored = ::write(execErrorWrite.Get(), &e, sizeof e);
        ::_exit(127);
    }

    execErrorWrite.Reset();
    endedWrite.Reset();
    commandRead.Reset();
    replyWrite.Reset();
    const Status kept = StartKeeper(endedRead.Get(), wordRead.Get(), commandWrite.Get(),
                                    settings.profileDir, pid, devNull.Get());
    wordRead.Reset();
    int childError = 0;
    ssize_t n;
    do {
        n = ::read(execErrorRead.Get(), &childError, sizeof childError);
    } while (n < 0 && errno == EINTR);
    if (n == static_cast<ssize_t>(sizeof childError)) {
        ::waitpid(pid, nullptr, 0);
        return Started::Fail("Could not start the browser " + program + ": " +
                             ErrnoText(childError));
    }
    if (!kept) {
        // Without its keeper the browser would close at the hand-over: better not to start.
        ::kill(-pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        return Started::Fail("Could not start the browser's keeper: " + kept.error());
    }
    if (::fcntl(commandWrite.Get(), F_SETFL, O_NONBLOCK) != 0 ||
        ::fcntl(replyRead.Get(), F_SETFL, O_NONBLOCK) != 0) {
        const std::string why = ErrnoText(errno);
        ::kill(-pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        return Started::Fail("Could not set up the pipes to the browser: " + why);
    }
    return std::make_unique<PosixChromiumProcess>(pid, std::move(commandWrite),
                                                  std::move(replyRead), std::move(wordWrite));
}

}  // namespace vellamark
