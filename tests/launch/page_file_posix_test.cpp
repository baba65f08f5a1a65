// The page file's POSIX half: its mode, links under its name, and a folder the user may not write.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "launch/page_file.h"
#include "platform/text.h"
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

TEST(PageFilePosix, SomethingOtherThanAFileAtTheNameFailsAtOnceWithAClearMessage) {
    struct Row {
        const char* name;
        std::function<void(const fs::path&)> plant;
    };
    const std::vector<Row> rows = {
        // No reader: a blocking open would wait for one for ever.
        {"pipe", [](const fs::path& at) { ASSERT_EQ(::mkfifo(at.c_str(), 0600), 0); }},
        {"link to a device", [](const fs::path& at) { fs::create_symlink("/dev/null", at); }},
        {"folder", [](const fs::path& at) { fs::create_directory(at); }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TempFolder folder;
        const std::string path = PageFilePath(folder.text(), "101010");
        row.plant(PathFromUtf8(path));
        const Status written = WritePageFile(path, "secret");
        ASSERT_FALSE(written);
        EXPECT_NE(written.error().find("not a plain file"), std::string::npos) << written.error();
        EXPECT_TRUE(fs::exists(fs::symlink_status(PathFromUtf8(path))));  // left as it was
    }
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
