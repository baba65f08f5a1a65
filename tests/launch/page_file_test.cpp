#include "launch/page_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "tests/support/temp_folder.h"

namespace vellamark {
namespace {

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::TempFolder;

std::set<std::string> Names(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

TEST(PageFile, NameIsVellamarTimeHtmInTheFolder) {
    TempFolder folder;
    EXPECT_EQ(fs::path(PageFilePath(folder.text(), "093512")),
              folder.path() / "vellamar_093512.htm");
}

TEST(PageFile, HoldsThePageAsOneLineEndingInCrLf) {
    TempFolder folder;
    const std::string path = PageFilePath(folder.text(), "093512");
    ASSERT_TRUE(WritePageFile(path, "<html>page</html>"));
    EXPECT_EQ(ReadFile(path), "<html>page</html>\r\n");

    // An existing page of the same name is replaced, not appended to.
    ASSERT_TRUE(WritePageFile(path, "<html>new</html>"));
    EXPECT_EQ(ReadFile(path), "<html>new</html>\r\n");
}

TEST(PageFile, RemovesOnlyPlainVellamarHtmFiles) {
    TempFolder folder;
    for (const char* name :
         {"vellamar_093512.htm", "vellamar.htm", "vellamarX.htm", "vellamar_1.html", "other.htm",
          "my_vellamar_1.htm", "vellamar_1.htm.bak"}) {
        folder.Write(name, "old");
    }
    fs::create_directory(folder.path() / "vellamar_dir.htm");

    ASSERT_TRUE(RemoveOldPageFiles(folder.text()));
    EXPECT_EQ(Names(folder.path()),
              (std::set<std::string>{"vellamar_1.html", "other.htm", "my_vellamar_1.htm",
                                     "vellamar_1.htm.bak", "vellamar_dir.htm"}));
}

TEST(PageFile, RemovingFromAMissingFolderIsNothingToDo) {
    TempFolder folder;
    EXPECT_TRUE(RemoveOldPageFiles((folder.path() / "absent").string()));
}

struct FolderRow {
    const char* name;
    bool programFolderUsable;
    bool programFolderGiven;
};

class PageFolder : public ::testing::TestWithParam<FolderRow> {};

TEST_P(PageFolder, ProgramFolderWhenWritableOtherwiseTemp) {
    TempFolder program;
    TempFolder temp;
    const std::string programText = !GetParam().programFolderGiven ? std::string()
                                    : GetParam().programFolderUsable
                                        ? program.text()
                                        : (program.path() / "not-there").string();
    const std::string expected = GetParam().programFolderUsable ? program.text() : temp.text();
    EXPECT_EQ(ChoosePageFolder(programText, temp.text()), expected);
}

INSTANTIATE_TEST_SUITE_P(PageFile, PageFolder,
                         ::testing::Values(FolderRow{"Writable", true, true},
                                           FolderRow{"Missing", false, true},
                                           FolderRow{"NotGiven", false, false}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(PageFile, UnwritablePathIsReportedWithItsName) {
    TempFolder folder;
    // A folder already stands where the page should go.
    fs::create_directory(folder.path() / "vellamar_093512.htm");
    const std::string path = PageFilePath(folder.text(), "093512");
    const Status status = WritePageFile(path, "<html>");
    ASSERT_FALSE(status);
    EXPECT_NE(status.error().find(path), std::string::npos) << status.error();

    const std::string missing = PageFilePath((folder.path() / "absent").string(), "093512");
    const Status missingStatus = WritePageFile(missing, "<html>");
    ASSERT_FALSE(missingStatus);
    EXPECT_NE(missingStatus.error().find(missing), std::string::npos) << missingStatus.error();
}

}  // namespace
}  // namespace vellamark
