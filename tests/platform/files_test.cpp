// The file system calls on both systems: names as UTF-8 whatever the code page, what a listing
// tells, and removals that never follow a link out of the tree.
#include "platform/files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "tests/support/temp_folder.h"

namespace vellamark {
namespace {

namespace fs = std::filesystem;
using testsupport::TempFolder;

std::map<std::string, FileKind> Listed(const std::string& folder) {
    const auto entries = ListFolder(folder);
    EXPECT_TRUE(entries) << entries.error();
    std::map<std::string, FileKind> listed;
    for (const FolderEntry& entry : entries ? *entries : std::vector<FolderEntry>{}) {
        listed[entry.name] = entry.kind;
    }
    return listed;
}

TEST(Files, ListAndTellKindsOfNamesOutsideTheCodePage) {
    TempFolder folder;
    const std::string root = folder.text();
    const std::string unicode = "Gr\xC3\xB6\xC3\x9F \xE2\x82\xAC \xF0\x9F\x94\x91.htm";
    folder.Write(unicode, "page");
    ASSERT_TRUE(CreateFolders(JoinPath(JoinPath(root, "sub"), "inner")));

    const std::map<std::string, FileKind> kinds = {{unicode, FileKind::kFile},
                                                   {"sub", FileKind::kFolder}};
    for (const auto& [name, kind] : kinds) {
        EXPECT_EQ(KindOf(JoinPath(root, name)), kind) << name;
    }
    EXPECT_EQ(KindOf(JoinPath(root, "absent")), FileKind::kNone);
    EXPECT_EQ(Listed(root), kinds);
    EXPECT_TRUE(Listed(JoinPath(root, "absent")).empty());
    const auto again = CreateFolder(JoinPath(root, "sub"));
    EXPECT_TRUE(again.ok() && !*again);                        // already there
    EXPECT_FALSE(CreateFolder(JoinPath(root, unicode)).ok());  // a file has the name
}

TEST(Files, RenameAndRemoveATreeButNotWhatALinkInItLeadsTo) {
    TempFolder folder;
    const std::string root = folder.text();
    const std::string tree = JoinPath(root, "tree");
    const std::string kept = JoinPath(root, "kept");
    ASSERT_TRUE(CreateFolders(JoinPath(tree, "inner")));
    ASSERT_TRUE(CreateFolders(kept));
    folder.Write("tree/inner/file", "x");
    folder.Write("kept/file", "x");
    std::error_code linkError;
    fs::create_directory_symlink(PathFromUtf8(kept), PathFromUtf8(JoinPath(tree, "link")),
                                 linkError);

    if (!linkError) {
        EXPECT_EQ(KindOf(JoinPath(tree, "link")), FileKind::kLink);
    }

    const auto written = LastWriteTime(tree);
    ASSERT_TRUE(written) << written.error();
    EXPECT_LT(std::chrono::abs(std::chrono::system_clock::now() - *written),
              std::chrono::minutes(5));

    const std::string moved = JoinPath(root, "moved");
    ASSERT_TRUE(Rename(tree, moved));
    const Status removed = RemoveTree(moved);
    EXPECT_TRUE(removed) << removed.error();
    EXPECT_EQ(KindOf(moved), FileKind::kNone);
    EXPECT_EQ(KindOf(JoinPath(kept, "file")), FileKind::kFile);
    EXPECT_TRUE(RemoveTree(moved));  // nothing there is done too
}

}  // namespace
}  // namespace vellamark
