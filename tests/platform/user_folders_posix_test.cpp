// The launcher's places follow the user's base folders, as the XDG rules give them.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "platform/user_folders.h"
#include "tests/support/fake_environment.h"

namespace vellamark {
namespace {

TEST(UserFoldersPosix, FollowTheBaseFoldersOfTheUser) {
    struct Row {
        const char* name;
        std::map<std::string, std::string> env;
        std::string store;
        std::string working;
        std::string profiles;
    };
    const Row rows[] = {
        {"the XDG variables",
         {{"XDG_CONFIG_HOME", "/cfg"},
          {"XDG_DATA_HOME", "/srv/data"},
          {"XDG_CACHE_HOME", "/var/c"},
          {"HOME", "/home/u"}},
         "/cfg/vellamark/registry.sqlite3",
         "/srv/data/vellamark",
         "/var/c/vellamark/profiles"},
        {"unset: under the home folder",
         {{"HOME", "/home/u"}},
         "/home/u/.config/vellamark/registry.sqlite3",
         "/home/u/.local/share/vellamark",
         "/home/u/.cache/vellamark/profiles"},
        {"relative: ignored, as the base directory rules say",
         {{"XDG_CONFIG_HOME", "cfg"},
          {"XDG_DATA_HOME", "data"},
          {"XDG_CACHE_HOME", "c"},
          {"HOME", "/home/u"}},
         "/home/u/.config/vellamark/registry.sqlite3",
         "/home/u/.local/share/vellamark",
         "/home/u/.cache/vellamark/profiles"},
    };
    for (const auto& row : rows) {
        const auto env = testsupport::FakeEnvironment(row.env);
        const auto store = LauncherStoreFile(env);
        const auto working = LauncherWorkingFolders(env);
        const auto profiles = LauncherProfilesFolder(env);
        ASSERT_TRUE(store && working && profiles) << row.name;
        EXPECT_EQ(*store, row.store) << row.name;
        EXPECT_EQ(working->main, row.working) << row.name;
        EXPECT_EQ(working->temp, row.working + "/temp") << row.name;
        EXPECT_EQ(*profiles, row.profiles) << row.name;
    }
}

}  // namespace
}  // namespace vellamark
