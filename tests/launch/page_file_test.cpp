#include "launch/page_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "temp_folder.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vellamark {
namespace {

namespace fs = std::filesystem;
using testing::ReadFile;
using testing::TempFolder;

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
    const FileStatus status = WritePageFile(path, "<html>");
    ASSERT_FALSE(status);
    EXPECT_NE(status.error.find(path), std::string::npos) << status.error;

    const std::string missing = PageFilePath((folder.path() / "absent").string(), "093512");
    const FileStatus missingStatus = WritePageFile(missing, "<html>");
    ASSERT_FALSE(missingStatus);
    EXPECT_NE(missingStatus.error.find(missing), std::string::npos) << missingStatus.error;
}

#ifndef _WIN32
mode_t ModeOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0);
    return info.st_mode & 07777;
}

TEST(PageFilePosix, IsReadableByItsOwnerAloneEvenWhenItExistedBefore) {
    TempFolder folder;
    const std::string path = PageFilePath(folder.text(), "101010");
    ASSERT_TRUE(WritePageFile(path, "fresh"));
    EXPECT_EQ(ModeOf(path), 0600U);

    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
    ASSERT_TRUE(WritePageFile(path, "again"));
    EXPECT_EQ(ModeOf(path), 0600U);
}

TEST(PageFilePosix, DoesNotWriteThroughALinkPlantedUnderItsName) {
    TempFolder folder;
    folder.Write("target.txt", "untouched");
    fs::create_symlink(folder.path() / "target.txt", folder.path() / "vellamar_101010.htm");
    // A link is not a plain file: it is not removed, and the page does not go through it.
    ASSERT_TRUE(RemoveOldPageFiles(folder.text()));
    EXPECT_FALSE(WritePageFile(PageFilePath(folder.text(), "101010"), "secret"));
    EXPECT_EQ(ReadFile(folder.path() / "target.txt"), "untouched");
}

TEST(PageFilePosix, ReadOnlyProgramFolderFallsBackToTemp) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "permission bits do not bind the superuser";
    }
    TempFolder program;
    TempFolder temp;
    ASSERT_EQ(::chmod(program.path().c_str(), 0500), 0);
    EXPECT_EQ(ChoosePageFolder(program.text(), temp.text()), temp.text());
}
#endif

}  // namespace
}  // namespace vellamark
