#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "platform/result.h"

namespace vellamark {

// The file system as the launcher uses it. Paths are UTF-8 text on every system; on Windows they
// go to the wide calls, so no character is lost to a code page. A failure's text is the system's
// reason alone, for the caller to put into its own sentence.

// What a name stands for. A link (a symbolic link; on Windows also a junction) is a link,
// whatever it leads to. kNone: nothing is there, or nothing could be seen there.
enum class FileKind { kNone, kFile, kFolder, kLink, kOther };

// What the name itself is.
[[nodiscard]] FileKind KindOf(const std::string& path);
// What the name leads to once every link on the way is followed.
[[nodiscard]] FileKind KindFollowingLinks(const std::string& path);

// The name in the folder, joined with the system's separator.
[[nodiscard]] std::string JoinPath(const std::string& folder, const std::string& name);
// The path made absolute against the current folder.
[[nodiscard]] Result<std::string> AbsolutePath(const std::string& path);

struct FolderEntry {
    std::string name;  // the name alone, without the folder
    FileKind kind;     // as KindOf tells
    bool hidden;       // a dot file; on Windows hidden or a system file
};
// The entries of a folder, without "." and "..". A folder that is not there lists as empty.
[[nodiscard]] Result<std::vector<FolderEntry>> ListFolder(const std::string& folder);

// Who may use a new folder: as the system's defaults say, or this user alone where the folder's
// mode decides that (on Windows the access list it inherits decides).
enum class FolderAccess { kDefault, kOwnerOnly };
// Makes one folder: true when made, false when a folder was there already.
[[nodiscard]] Result<bool> CreateFolder(const std::string& path,
                                        FolderAccess access = FolderAccess::kDefault);
// Makes the folder and any missing folders above it.
[[nodiscard]] Status CreateFolders(const std::string& path);

// Removes a file (not a folder). Done also when nothing was there.
[[nodiscard]] Status RemoveFile(const std::string& path);
// Removes the name and, for a folder, everything in it; links are removed, never followed.
// Done also when nothing was there.
[[nodiscard]] Status RemoveTree(const std::string& path);
// Renames or moves within one volume, replacing a file (not a folder) of the new name.
[[nodiscard]] Status Rename(const std::string& from, const std::string& to);

// True when this user may create files in the folder.
[[nodiscard]] bool MayCreateFilesIn(const std::string& folder);

// When the file or folder was last written.
[[nodiscard]] Result<std::chrono::system_clock::time_point> LastWriteTime(const std::string& path);

}  // namespace vellamark
