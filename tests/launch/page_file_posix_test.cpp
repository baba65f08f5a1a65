// The page file's POSIX half: its mode, links under its name, and a folder the user may not write.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "launch/page_file.h"
#include "tests/support/temp_folder.h"

namespace vellamark {
namespace {

namespace fs = std::filesystem;
using testsupport::ReadFile;
using testsupport::TempFolder;

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
}  // namespace
}  // namespace vellamark
