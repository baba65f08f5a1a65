#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "launch/browser_profile.h"
#include "temp_folder.h"

namespace vellamark {
namespace {

namespace fs = std::filesystem;

std::string HostName() {
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    return host;
}

// A process id that belonged to a process which has ended.
pid_t EndedPid() {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::_exit(0);
    }
    ::waitpid(pid, nullptr, 0);
    return pid;
}

void Age(const fs::path& dir, std::chrono::seconds by) {
    fs::last_write_time(dir, fs::file_time_type::clock::now() - by);
}

TEST(RemoveStaleProfilesTest, KeepsHeldAndYoungProfiles) {
    struct Row {
        const char* name;
        std::string lockTarget;  // "" = no SingletonLock
        bool old;
        bool kept;
    };
    const std::string host = HostName();
    const std::vector<Row> rows = {
        {"held by a live browser", host + "-" + std::to_string(::getpid()), true, true},
        {"lock of an ended browser", host + "-" + std::to_string(EndedPid()), true, false},
        {"no lock, old", "", true, false},
        {"no lock, just made by a launch", "", false, true},
        {"held on another machine", "some-other-host-" + std::to_string(::getpid()), true, true},
        {"unreadable lock", "garbage", true, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        testing::TempFolder root;
        const fs::path profile = root.path() / "launch-1";
        fs::create_directories(profile / "Default");
        std::ofstream(profile / "Default" / "Preferences") << "{}";
        if (!row.lockTarget.empty()) {
            fs::create_symlink(row.lockTarget, profile / "SingletonLock");
        }
        if (row.old) {
            Age(profile, std::chrono::hours(2));
        }
        EXPECT_EQ(RemoveStaleProfiles(root.text()), row.kept ? 0 : 1);
        EXPECT_EQ(fs::exists(profile), row.kept);
    }
}

TEST(CreateLaunchProfileTest, NewPrivateFolderEachTime) {
    testing::TempFolder temp;
    const std::string root = (temp.path() / "cache" / "vellamark" / "profiles").string();
    const auto first = CreateLaunchProfile(root);
    const auto second = CreateLaunchProfile(root);
    ASSERT_FALSE(first.path.empty()) << first.error;
    ASSERT_FALSE(second.path.empty()) << second.error;
    EXPECT_NE(first.path, second.path);
    EXPECT_TRUE(fs::is_empty(first.path));
    struct stat st {};
    ASSERT_EQ(::stat(first.path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST(CreateLaunchProfileTest, UnwritableRootIsReported) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root writes anywhere";
    }
    testing::TempFolder temp;
    fs::permissions(temp.path(), fs::perms::owner_read | fs::perms::owner_exec);
    const auto made = CreateLaunchProfile((temp.path() / "profiles").string());
    EXPECT_EQ(made.path, "");
    EXPECT_NE(made.error.find("profile"), std::string::npos);
}

TEST(DefaultProfileRootTest, CacheFolderRules) {
    struct Row {
        const char* name;
        std::map<std::string, std::string> env;
        std::string expected;
    };
    const std::vector<Row> rows = {
        {"XDG cache",
         {{"XDG_CACHE_HOME", "/x/cache"}, {"HOME", "/home/u"}},
         "/x/cache/vellamark/profiles"},
        {"home fallback", {{"HOME", "/home/u"}}, "/home/u/.cache/vellamark/profiles"},
        {"relative XDG is ignored",
         {{"XDG_CACHE_HOME", "cache"}, {"HOME", "/home/u"}},
         "/home/u/.cache/vellamark/profiles"},
        {"nothing known", {}, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto env = [&row](const std::string& name) -> std::optional<std::string> {
            if (auto it = row.env.find(name); it != row.env.end()) {
                return it->second;
            }
            return std::nullopt;
        };
        EXPECT_EQ(DefaultProfileRoot(env), row.expected);
    }
}

}  // namespace
}  // namespace vellamark
