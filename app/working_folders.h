#pragma once

#include <optional>
#include <string>

namespace vellamark {

// The two working folders startup makes sure of.
struct WorkingFolders {
    std::string main;  // $XDG_DATA_HOME/vellamark; "c:\vellamark" on Windows
    std::string temp;  // its subfolder "temp"
};

// This user's working folders on this system.
[[nodiscard]] WorkingFolders DefaultWorkingFolders();

// For each folder in turn: when nothing of that name exists, create it. Returns the message for
// the user (naming the folder and the reason) when one cannot be made.
[[nodiscard]] std::optional<std::string> EnsureWorkingFolders(const WorkingFolders& folders);

}  // namespace vellamark
