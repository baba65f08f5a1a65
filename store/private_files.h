#pragma once

#include <filesystem>
#include <string_view>

#include "platform/owned_fd.h"
#include "platform/result.h"

namespace vellamark {

// Files only this user may read, for the settings database of systems without a registry.

// Creates the folder (and missing folders above it) mode 0700, and narrows it to 0700 when
// someone widened it.
[[nodiscard]] Status MakePrivateFolder(const std::filesystem::path& folder);

// Creates the file mode 0600 when it is missing, and narrows it when it was widened; refuses a
// link, anything but a regular file, and a file of another user.
[[nodiscard]] Status MakePrivateFile(const std::filesystem::path& file);

// The file a store's path leads to: the path itself when it is no symbolic link (or names
// nothing yet); through a link this user owns (or a short chain of them), the file at its end,
// which must be a regular file of this user's. Fails saying what was found otherwise.
[[nodiscard]] Result<std::filesystem::path> FollowOwnLinks(const std::filesystem::path& file);

// True when the file has bytes and they do not begin with magic (a link is not followed).
[[nodiscard]] bool HasForeignHeader(const std::filesystem::path& file, std::string_view magic);

// Moves the file, and its companions "<file><suffix>" for each of the suffixes, to
// "<file>.<tag>-<UTC time>" (with "-n" added when that is taken); gives the new name. Never
// replaces a file.
[[nodiscard]] Result<std::filesystem::path> MoveAside(
    const std::filesystem::path& file, std::string_view tag,
    std::initializer_list<std::string_view> companionSuffixes);

// An exclusive advisory lock on a lock file of its own, held until destroyed.
[[nodiscard]] Result<OwnedFd> LockExclusively(const std::filesystem::path& lockFile);

}  // namespace vellamark
