#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "browser/browser_profile.h"
#include "tests/support/temp_folder.h"

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
        testsupport::TempFolder root;
        const fs::path profile = root.path() / "launch-1700000000000-0";
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

TEST(RemoveStaleProfilesTest, TouchesOnlyTheFoldersLaunchesMade) {
    const std::vector<std::pair<std::string, bool>> rows = {
        {"launch-1700000000000-3", true},
        {"launch-1", false},
        {"launch-x-1", false},
        {"launch-12-", false},
        {"my-documents", false},
        {"launch-12-3.bak", false},
        {"launch-1700000000000-4.removing", true},  // a removal cut short
        {"launch-x-4.removing", false},
        {"my-documents.removing", false},
    };
    testsupport::TempFolder root;
    for (const auto& [name, ours] : rows) {
        fs::create_directories(root.path() / name / "Default");
        Age(root.path() / name, std::chrono::hours(2));
    }
    EXPECT_EQ(RemoveStaleProfiles(root.text()), 2);
    for (const auto& [name, ours] : rows) {
        EXPECT_EQ(fs::exists(root.path() / name), !ours) << name;
    }
    // A link named like a profile is not followed into whatever it points at.
    const fs::path elsewhere = root.path() / "elsewhere";
    fs::create_directories(elsewhere / "keep");
    fs::create_directory_symlink(elsewhere, root.path() / "launch-1700000000001-0");
    RemoveStaleProfiles(root.text());
    EXPECT_TRUE(fs::exists(elsewhere / "keep"));
}

TEST(CreateLaunchProfileTest, NewPrivateFolderEachTime) {
    testsupport::TempFolder temp;
    const std::string root = (temp.path() / "cache" / "vellamark" / "profiles").string();
    const auto first = CreateLaunchProfile(root);
    const auto second = CreateLaunchProfile(root);
    ASSERT_TRUE(first.ok()) << first.error();
    ASSERT_TRUE(second.ok()) << second.error();
    EXPECT_NE(*first, *second);
    EXPECT_TRUE(IsLaunchProfileName(fs::path(*first).filename().string())) << *first;
    EXPECT_TRUE(fs::is_empty(*first));
    struct stat st {};
    ASSERT_EQ(::stat(first->c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST(CreateLaunchProfileTest, UnwritableRootIsReported) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root writes anywhere";
    }
    testsupport::TempFolder temp;
    fs::permissions(temp.path(), fs::perms::owner_read | fs::perms::owner_exec);
    const auto made = CreateLaunchProfile((temp.path() / "profiles").string());
    EXPECT_FALSE(made.ok());
    EXPECT_NE(made.error().find("profile"), std::string::npos);
}

}  // namespace
}  // namespace vellamark
