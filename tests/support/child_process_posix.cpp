#include "tests/support/child_process_posix.h"

#include <linux/capability.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>

namespace vellamark::testsupport {

std::string InChildProcess(const std::function<std::string()>& body) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) {
        return "cannot make a pipe";
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        const std::string failure = body();
        FILE* out = ::fdopen(pipeFds[1], "w");
        std::fputs(failure.c_str(), out);
        std::fclose(out);
        ::_exit(failure.empty() ? 0 : 1);
    }
    ::close(pipeFds[1]);
    std::string failure;
    char buffer[512];
    for (ssize_t n = 0; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) {
        failure.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(pipeFds[0]);
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child) {
        return "cannot run a child process";
    }
    if (!WIFEXITED(status) || (WEXITSTATUS(status) != 0 && failure.empty())) {
        return failure + " (the child process ended with status " + std::to_string(status) + ")";
    }
    return failure;
}

bool DropPrivileges() {
    if (::geteuid() != 0) {
        return true;
    }
    // Out of the bounding set first (while CAP_SETPCAP still works), so that no program started
    // from here gets them back; then out of every set of this process.
    for (int cap = 0; cap <= 63; ++cap) {
        if (::prctl(PR_CAPBSET_DROP, cap, 0, 0, 0) != 0 && errno != EINVAL) {
            return false;
        }
    }
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    return ::syscall(SYS_capset, &header, data) == 0;
}

bool MountPrivateTmpfs(const std::filesystem::path& folder, std::size_t bytes) {
    if (::geteuid() == 0) {
        if (::unshare(CLONE_NEWNS) != 0) {
            return false;
        }
    } else {
        // A user namespace of its own, with this user's ids mapped to themselves.
        const auto map = [](const char* file, const std::string& text) {
            return static_cast<bool>(std::ofstream(file) << text << std::flush);
        };
        const std::string uid = std::to_string(::geteuid());
        const std::string gid = std::to_string(::getegid());
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0 || !map("/proc/self/setgroups", "deny") ||
            !map("/proc/self/uid_map", uid + " " + uid + " 1") ||
            !map("/proc/self/gid_map", gid + " " + gid + " 1")) {
            return false;
        }
    }
    // Mounts made here stay here.
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0700";
    return ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
           ::mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) == 0;
}

}  // namespace vellamark::testsupport
