#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <set>
#include <string>

#include "launch/page_file.h"
#include "tests/support/temp_folder.h"

namespace vellamark {
namespace {

namespace fs = std::filesystem;
using testsupport::TempFolder;

// Windows matches "vellamar*.htm" without regard to case and skips hidden and system files.
TEST(PageFileWindows, RemovesPagesOfAnyCaseButNotHiddenOrSystemOnes) {
    TempFolder folder;
    for (const char* name :
         {"VELLAMAR_1.HTM", "Vellamar_2.htm", "vellamar_hidden.htm", "vellamar_system.htm"}) {
        folder.Write(name, "old");
    }
    ASSERT_TRUE(
        SetFileAttributesW((folder.path() / "vellamar_hidden.htm").c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(
        SetFileAttributesW((folder.path() / "vellamar_system.htm").c_str(), FILE_ATTRIBUTE_SYSTEM));

    ASSERT_TRUE(RemoveOldPageFiles(folder.text()));
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder.path())) {
        names.insert(entry.path().filename().string());
        SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    EXPECT_EQ(names, (std::set<std::string>{"vellamar_hidden.htm", "vellamar_system.htm"}));
}

}  // namespace
}  // namespace vellamark
