#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vellamark {

// The launcher's own program file in a folder: "vellamark", "vellamark.exe" on Windows. Its
// creation time keys the account store; the name is fixed, whatever the running program is
// called.
[[nodiscard]] std::string ProgramFilePath(const std::string& folder);

// The creation time of the file, in whole seconds since 1970 (negative before): Windows' creation
// time, read with CreateFileA and GetFileTime; elsewhere the birth time (statx), or the
// modification time where the file system keeps no birth time. nullopt when the file or its
// times cannot be read.
[[nodiscard]] std::optional<std::int64_t> FileCreationTime(const std::string& path);

}  // namespace vellamark
