#pragma once

#include <cstddef>
#include <string>

namespace vellamark {

// What the page file needs from the file system, one half per system.

// Windows matches file names without regard to case.
extern const bool kPageFileNamesIgnoreCase;
// Opens the file for writing, created or emptied, readable by this user alone; -1 on failure
// (errno says why). A link planted under the name is not followed.
[[nodiscard]] int OpenForWriting(const std::string& path);
// True when the open file is a plain file on disk (not a pipe, a device or a console).
[[nodiscard]] bool IsPlainFile(int fd);
// True when the open failed because something other than a plain file (a link, a pipe without
// a reader, a folder) holds the name.
[[nodiscard]] bool NotPlainFileError(int errorNumber);
// Narrows an existing file to this user (where the file's mode decides that).
[[nodiscard]] bool RestrictToOwner(int fd);
// One write; the count written, or -1 (errno says why).
[[nodiscard]] long WriteSome(int fd, const char* data, std::size_t size);

}  // namespace vellamark
