#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>

namespace vellamark::testsupport {

// Runs body in a child process and gives what it returned: empty text when all went well,
// otherwise what went wrong (also when the child died). For what a test must not do to its own
// process: take its rights away, mount a file system.
[[nodiscard]] std::string InChildProcess(const std::function<std::string()>& body);

// In a child: takes away what lets root pass file modes (every capability, for the programs it
// starts too), so the modes bind it as they bind any user. False when that cannot be done.
[[nodiscard]] bool DropPrivileges();

// In a child: mounts a fresh tmpfs of this many bytes on folder, in a mount namespace of the
// child's own (with a user namespace when not root). False when the system allows neither.
[[nodiscard]] bool MountPrivateTmpfs(const std::filesystem::path& folder, std::size_t bytes);

}  // namespace vellamark::testsupport
