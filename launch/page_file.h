#pragma once

#include <string>
#include <string_view>

#include "platform/result.h"

namespace vellamark {

// The folder the page file goes to: the program's folder when this user may write there,
// otherwise the temp folder (an installed program's folder usually is read-only).
[[nodiscard]] std::string ChoosePageFolder(const std::string& programFolder,
                                           const std::string& tempFolder);

// "vellamar_" + time + ".htm" inside the folder, as a path the platform reads (UTF-8 text).
[[nodiscard]] std::string PageFilePath(const std::string& folder, std::string_view timeText);

// Deletes every plain file "vellamar*.htm" in the folder (not hidden, not a system file, not a
// folder or link): the previous launch's page holds a password in clear.
[[nodiscard]] Status RemoveOldPageFiles(const std::string& folder);

// Writes the page as one line plus CR LF, in the system's ANSI code page, readable by this user
// alone (mode 0600 even when the file existed before).
[[nodiscard]] Status WritePageFile(const std::string& path, std::string_view page);

// Deletes a page file, as far as possible: a page the browser never opened, or one cut short,
// still holds a password in clear.
void RemovePageFile(const std::string& path);

}  // namespace vellamark
